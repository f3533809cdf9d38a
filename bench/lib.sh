# Sourced by the bench/run-*.sh scripts, from the repository's top folder.

# bench_build BUILD_DIR CORE_ONLY TARGET...: configures and builds the targets in Release. On
# failure it shows the build's errors, one line saying what failed, and exits non-zero.
bench_build() {
  local dir=$1 core_only=$2
  shift 2
  local log what
  log=$(mktemp)
  what="the benchmark did not build ($*, Release, in $dir)"
  if ! cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DFERRYSTAR_CORE_ONLY="$core_only" >"$log" 2>&1; then
    cat "$log" >&2
    what="the benchmark build could not be configured ($dir)"
  elif ! cmake --build "$dir" --target "$@" >"$log" 2>&1; then
    grep -v '^\[[0-9]*/[0-9]*\] ' "$log" >&2 || true
  else
    rm -f "$log"
    return 0
  fi
  rm -f "$log"
  echo "$(basename "$0"): $what; the errors are above" >&2
  exit 1
}

# bench_run PROGRAM [ARGUMENTS...]: runs one benchmark; a failure ends the script with one line.
bench_run() {
  local status=0
  "$@" || status=$?
  if [ "$status" -ne 0 ]; then
    echo "$(basename "$0"): $(basename "$1") failed (exit status $status); its messages are above" >&2
    exit "$status"
  fi
}

# bench_load WHEN: one line with the load average, so that figures carry how busy the machine was.
bench_load() {
  echo "load average $1: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores"
}
