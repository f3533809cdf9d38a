#!/usr/bin/env bash
# Installs what the program needs (no test tools), builds a Release and starts Quillmoor Ferrystar.
# --demo: starts it against a demo FTP server on 127.0.0.1 with a config folder of its own.
set -euo pipefail
cd "$(dirname "$0")"
demo=0
if [ "${1:-}" = "--demo" ]; then
  demo=1
  shift
fi
if [ $demo = 1 ]; then scripts/install-deps.sh demo; else scripts/install-deps.sh run; fi
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DFERRYSTAR_TESTS=OFF >/dev/null
cmake --build build-release --target ferrystar
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found. Run it under a virtual one, for example:"
  echo "  xvfb-run -a -s '-screen 0 1600x1000x24' $PWD/run.sh $([ $demo = 1 ] && echo --demo)"
  exit 1
fi
[ $demo = 1 ] && exec /usr/bin/python3 scripts/demo.py "$PWD/build-release/ferrystar"
exec build-release/ferrystar "$@"
