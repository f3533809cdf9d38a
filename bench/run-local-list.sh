#!/usr/bin/env bash
# Builds in Release and runs the local list benchmark offscreen: a 20,000-file folder shown by the
# real window's local pane, with the longest stall of the window's event loop.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
BUILD=${BUILD:-build-bench-gui}
bench_build "$BUILD" OFF window_local_bench
if [ "${1:-}" = "--screenshot" ]; then
  bench_run xvfb-run -a -s '-screen 0 1600x1000x24' "$BUILD/bench/window_local_bench" --screenshot "$(realpath -m "$2")"
  exit 0
fi
QT_QPA_PLATFORM=offscreen bench_run "$BUILD/bench/window_local_bench"
