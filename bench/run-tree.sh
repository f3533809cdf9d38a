#!/usr/bin/env bash
# Builds in Release and runs the folder-transfer benchmark offscreen: a 2,000-file tree up and down
# through the real window against lftp's mirror on the same vsftpd, with the ratios.
# FERRYSTAR_TREE_ROUNDS sets the number of interleaved rounds (3).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
BUILD=${BUILD:-build-bench-gui}
command -v lftp >/dev/null || { echo "$(basename "$0"): lftp is not installed (scripts/install-deps.sh bench)" >&2; exit 1; }
bench_build "$BUILD" OFF window_tree_bench
QT_QPA_PLATFORM=offscreen bench_run "$BUILD/bench/window_tree_bench"
