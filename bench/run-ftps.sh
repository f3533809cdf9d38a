#!/usr/bin/env bash
# Builds the FTPS benchmark in release mode: 1 GiB transfers over explicit FTP over TLS against
# curl's explicit FTPS on one vsftpd that requires TLS and session reuse, with every file on a
# tmpfs so that the disk does not set the pace. Target: at least curl's speed (x curl >= 1.0).
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
BUILD=${BUILD:-build-bench}
command -v curl >/dev/null || { echo "$(basename "$0"): curl is not installed (scripts/install-deps.sh)" >&2; exit 1; }
bench_build "$BUILD" ON ftps_bench
FILES=$(mktemp -d /dev/shm/ferrystar-bench-XXXXXX)
trap 'rm -rf "$FILES"' EXIT
chmod 755 "$FILES" # the server runs as another user and must reach its folder
TMPDIR=$FILES bench_run "$BUILD/bench/ftps_bench"
