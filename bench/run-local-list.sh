#!/usr/bin/env bash
# Builds in Release and runs the local list benchmark offscreen: a 20,000-file folder shown by the
# real window's local pane, with the longest stall of the window's event loop.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
BUILD=${BUILD:-build-bench-gui}
bench_build "$BUILD" OFF window_local_bench
QT_QPA_PLATFORM=offscreen bench_run "$BUILD/bench/window_local_bench"
