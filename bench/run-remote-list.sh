#!/usr/bin/env bash
# Builds in Release and runs the remote list benchmark offscreen: a 20,000-entry folder listed
# and shown by the real window against curl's LIST, then sorted by every column.
# With --screenshot FILE it runs under Xvfb instead and saves the window showing a small folder.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build-bench-gui}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" --target window_remote_bench >/dev/null
if [ "${1:-}" = "--screenshot" ]; then
  exec xvfb-run -a -s '-screen 0 1600x1000x24' "$BUILD/bench/window_remote_bench" --screenshot "$(realpath -m "$2")"
fi
QT_QPA_PLATFORM=offscreen "$BUILD/bench/window_remote_bench"
