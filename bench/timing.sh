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
