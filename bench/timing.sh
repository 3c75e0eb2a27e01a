# Timing helpers shared by the benchmark scripts (sourced).
now() { date +%s.%N; }
# best of N runs of a command, in seconds; the command's output is dropped
best_of() {
  local n=$1
  shift
  local best=""
  for _ in $(seq "$n"); do
    local t0 t1 dt
    t0=$(now)
    "$@" >/dev/null 2>&1 || true
    t1=$(now)
    dt=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", b - a }')
    if [[ -z "$best" ]] || awk -v a="$dt" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$dt; fi
  done
  echo "$best"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
# The record-file benchmarks' arguments: BIN_DIR (default build/release/bin)
# and RECORDS (default 2000000); their files go to $BENCH_DIR (build/bench).
bench_setup() {
  bin="${1:-build/release/bin}"
  records="${2:-2000000}"
  work="${BENCH_DIR:-build/bench}"
  mkdir -p "$work"
}
# The median of N runs of a command: "WALL CPU" in seconds, CPU being the
# user and system time of that run; the command's output is dropped. With
# $before_each set, that shell command runs untimed before each run (say,
# removing the last run's output and waiting for the disk to settle).
median_of() {
  local n=$1
  shift
  local cpu_file
  cpu_file=$(mktemp)
  for _ in $(seq "$n"); do
    local t0 t1
    [[ -z ${before_each:-} ]] || sh -c "$before_each"
    t0=$(now)
    /usr/bin/time -o "$cpu_file" -f '%U %S' "$@" >/dev/null 2>&1 || true
    t1=$(now)
    tail -1 "$cpu_file" | awk -v a="$t0" -v b="$t1" '{ printf "%.4f %.2f\n", b - a, $1 + $2 }'
  done | sort -n | awk '{ w[NR] = $1; c[NR] = $2 } END { m = int((NR + 1) / 2); print w[m], c[m] }'
  rm -f "$cpu_file"
}
