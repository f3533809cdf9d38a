#!/usr/bin/env bash
# Builds the FTP benchmarks in release mode: 1 GiB transfers against curl on one vsftpd, then
# the listing parser's per-line time.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
BUILD=${BUILD:-build-bench}
bench_build "$BUILD" ON ftp_bench listing_bench
bench_run "$BUILD/bench/ftp_bench"
bench_run "$BUILD/bench/listing_bench"
