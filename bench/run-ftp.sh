#!/usr/bin/env bash
# Builds the FTP benchmarks in release mode: 1 GiB transfers against curl on one vsftpd, then
# the listing parser's per-line time.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build-bench}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DFERRYSTAR_CORE_ONLY=ON >/dev/null
cmake --build "$BUILD" --target ftp_bench listing_bench | grep -E "error|FAILED" && exit 1 || true
"$BUILD/bench/ftp_bench"
"$BUILD/bench/listing_bench"
