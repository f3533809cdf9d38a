#!/usr/bin/env bash
# Builds in Release and runs the window benchmark offscreen: a 1 GiB download through the real
# window's worker against curl, and the longest stall of the window's event loop.
# With --screenshot FILE it runs under Xvfb instead and saves the screen during the download.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
BUILD=${BUILD:-build-bench-gui}
bench_build "$BUILD" OFF window_bench
if [ "${1:-}" = "--screenshot" ]; then
  bench_run xvfb-run -a -s '-screen 0 1400x900x24' "$BUILD/bench/window_bench" --screenshot "$(realpath -m "$2")"
else
  bench_load before
  QT_QPA_PLATFORM=offscreen bench_run "$BUILD/bench/window_bench"
  bench_load after
fi
