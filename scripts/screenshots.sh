#!/usr/bin/env bash
# The screenshots of docs/shots/: one scripted user session (bench/window_tour.cpp) through the real
# window against the demo server (scripts/demo.py), under Xvfb at 1024x700, one picture per step,
# then reduced to 256 colours without metadata.
#   scripts/screenshots.sh          makes docs/shots/*.png
#   scripts/screenshots.sh --watch  the same session on your own display, pausing at every step
# BUILD names the build folder (default build, configured as ./test.sh does when it is missing).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh docs
BUILD=${BUILD:-build}
[ -f "$BUILD/build.ninja" ] || cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" --target window_tour
tour=$PWD/$BUILD/bench/window_tour
if [ "${1:-}" = "--watch" ]; then
  exec /usr/bin/python3 scripts/demo.py "$tour"
fi

raw=$(mktemp -d)
trap 'rm -rf "$raw"' EXIT
xvfb-run -a -s '-screen 0 1024x700x24' /usr/bin/python3 scripts/demo.py "$tour" --shots "$raw"
mkdir -p docs/shots
for shot in "$raw"/*.png; do
  convert "$shot" -strip +dither -colors 256 "PNG8:docs/shots/$(basename "$shot")"
done
du -ch docs/shots/*.png | tail -1 | sed 's/\ttotal$/ in docs\/shots/'
