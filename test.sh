#!/usr/bin/env bash
# Installs what the program and its tests need, builds, and runs every test. Extra arguments go to ctest
# (for example: ./test.sh -R SiteFile).
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh test
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
cd build
ctest --output-on-failure -j "$(nproc)" "$@"
