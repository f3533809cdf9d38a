#!/usr/bin/env bash
# Builds the transport benchmark in release mode and prints its ratios.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
BUILD=${BUILD:-build-bench}
bench_build "$BUILD" ON net_bench
bench_run "$BUILD/bench/net_bench"
