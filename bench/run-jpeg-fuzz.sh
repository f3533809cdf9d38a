#!/usr/bin/env bash
# Builds the JPEG decoder with AddressSanitizer and UndefinedBehaviorSanitizer and feeds it random
# mutations of a valid picture for SECONDS (default 60).
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build-fuzz}
cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFERRYSTAR_SANITIZE=address,undefined >/dev/null
cmake --build "$BUILD" --target jpeg_fuzz >/dev/null
QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 "$BUILD/bench/jpeg_fuzz" "${1:-60}"
