#!/usr/bin/env bash
# Builds in Release and runs the window benchmark offscreen: a 1 GiB download through the real
# window's worker against curl, and the longest stall of the window's event loop.
# With --screenshot FILE it runs under Xvfb instead and saves the screen during the download.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build-bench-gui}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" --target window_bench >/dev/null
if [ "${1:-}" = "--screenshot" ]; then
  exec xvfb-run -a -s '-screen 0 1400x900x24' "$BUILD/bench/window_bench" --screenshot "$(realpath -m "$2")"
fi
QT_QPA_PLATFORM=offscreen "$BUILD/bench/window_bench"
