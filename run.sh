#!/usr/bin/env bash
# Installs what the program needs (no test tools), builds a Release and starts Quillmoor Ferrystar.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh run
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DFERRYSTAR_TESTS=OFF >/dev/null
cmake --build build-release --target ferrystar
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found. Run it under a virtual one, for example:"
  echo "  xvfb-run -a -s '-screen 0 1600x1000x24' $PWD/build-release/ferrystar"
  exit 1
fi
exec build-release/ferrystar "$@"
