#!/usr/bin/env bash
# Fails when a function under src/ has a cognitive complexity above 25 (clang-tidy). Needs a
# configured and built tree for its compile_commands.json (and Qt's generated files): BUILD=build.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
limit=25
config="{Checks: '-*,readability-function-cognitive-complexity', WarningsAsErrors: '*',
  CheckOptions: [{key: readability-function-cognitive-complexity.Threshold, value: $limit},
                 {key: readability-function-cognitive-complexity.DescribeBasicIncrements, value: false}]}"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# Only the project's own sources, each once; headers under src/ are checked where they are included.
status=0
# -w: the compiler's own warnings are the build's business, not this check's.
run-clang-tidy -quiet -j "$(nproc)" -p "$BUILD" -config="$config" -header-filter="$PWD/src/" -extra-arg=-w \
  "^$PWD/src/" 2>&1 | sed 's/\x1b\[[0-9;]*m//g' >"$log" || status=$?
grep -E "(warning|error):" "$log" | sort -u || true
if [ "$status" -ne 0 ] || grep -qE "error:" "$log"; then
  echo "check-complexity: a function passes cognitive complexity $limit (above), or clang-tidy failed" >&2
  exit 1
fi
echo "check-complexity: every function under src/ stays within cognitive complexity $limit"
