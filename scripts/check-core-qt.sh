#!/usr/bin/env bash
# Fails when a file of the core (src/rtl, src/net, src/ftp, and src/engine and src/sites outside
# their ui/ folders) includes a Qt header or a header of the window code, which would bring Qt in.
set -euo pipefail
cd "$(dirname "$0")/.."
core=$(find src/rtl src/net src/ftp src/engine src/sites -path '*/ui' -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print)
qt='^[[:space:]]*#[[:space:]]*include[[:space:]]*(<Q[A-Za-z0-9_]*(/|>)|"Q[A-Za-z0-9_]*"|<Qt[A-Za-z]*/|<q[a-z0-9_]*\.h>)'
window='^[[:space:]]*#[[:space:]]*include[[:space:]]*"((engine|sites)/ui|app|panes|preview|platform)/'
# shellcheck disable=SC2086
found=$(grep -nE "$qt|$window" $core || true)
if [ -n "$found" ]; then
  echo "$found"
  echo "check-core-qt: the core includes Qt or window code (above); move that code to a ui/ folder" >&2
  exit 1
fi
echo "check-core-qt: no Qt include in the core"
