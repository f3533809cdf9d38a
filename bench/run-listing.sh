#!/usr/bin/env bash
# Builds the listing benchmark in release mode and prints its per-line time ratio.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
BUILD=${BUILD:-build-bench}
bench_build "$BUILD" ON listing_bench
bench_run "$BUILD/bench/listing_bench"
