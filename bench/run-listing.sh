#!/usr/bin/env bash
# Builds the listing benchmark in release mode and prints its per-line time ratio.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build-bench}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DFERRYSTAR_CORE_ONLY=ON >/dev/null
cmake --build "$BUILD" --target listing_bench >/dev/null
"$BUILD/bench/listing_bench"
