#!/usr/bin/env bash
# Builds the engine benchmark in release mode: a 1 GiB download through the worker, with the main
# thread serving its notifications, against the FTP client called directly, on one vsftpd.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build-bench}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DFERRYSTAR_CORE_ONLY=ON >/dev/null
cmake --build "$BUILD" --target engine_bench >/dev/null
"$BUILD/bench/engine_bench"
