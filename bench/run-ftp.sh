#!/usr/bin/env bash
# Builds the FTP benchmarks in release mode: 1 GiB transfers against lftp and curl on one vsftpd,
# with every file on a tmpfs so that the disk does not set the pace, then the listing parser's
# per-line time.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
BUILD=${BUILD:-build-bench}
for tool in lftp curl; do
  command -v "$tool" >/dev/null || { echo "$(basename "$0"): $tool is not installed (scripts/install-deps.sh)" >&2; exit 1; }
done
bench_build "$BUILD" ON ftp_bench listing_bench
FILES=$(mktemp -d /dev/shm/ferrystar-bench-XXXXXX)
trap 'rm -rf "$FILES"' EXIT
chmod 755 "$FILES" # the server runs as another user and must reach its folder
bench_load before
TMPDIR=$FILES bench_run "$BUILD/bench/ftp_bench"
bench_run "$BUILD/bench/listing_bench"
bench_load after
