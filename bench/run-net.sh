#!/usr/bin/env bash
# Builds the transport benchmark in release mode and prints its ratios.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build-bench}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DFERRYSTAR_CORE_ONLY=ON >/dev/null
cmake --build "$BUILD" --target net_bench >/dev/null
"$BUILD/bench/net_bench"
