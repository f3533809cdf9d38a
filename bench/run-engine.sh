#!/usr/bin/env bash
# Builds the engine benchmark in release mode: a 1 GiB download through the worker, with the main
# thread serving its notifications, against the FTP client called directly, on one vsftpd.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
BUILD=${BUILD:-build-bench}
bench_build "$BUILD" ON engine_bench
bench_run "$BUILD/bench/engine_bench"
