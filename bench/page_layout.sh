#!/usr/bin/env bash
# The page layout of a 1-million-line document (Print, Print Preview): lines
# per second of the layout pass (target >= 50,000) and the time from a Cancel
# click in the progress dialog to the end of the pass (target <= 0.5 s).
# Usage: bench/page_layout.sh [BIN_DIR] [LINES]   (defaults: build/release/bin, 1000000)
set -euo pipefail
cd "$(dirname "$0")/.."
bin="${1:-build/release/bin}"
lines="${2:-1000000}"
work="${BENCH_DIR:-build/bench}"
mkdir -p "$work"

file="$work/doc-$lines.qbd"
[[ -f "$file" ]] || "$bin/make_record_file" "$lines" "$file"
cat "$file" >/dev/null  # warm the cache

field() {  # the named counter of the named benchmark
  QB_BENCH_RECORD_FILE="$file" "$bin/app_page_layout_bench" --benchmark_format=csv \
    --benchmark_filter="$1" 2>/dev/null |
    awk -F, -v name="$2" '
      /^name,/ { for (i = 1; i <= NF; i++) col[$i] = i; next }
      { print $col[name] }'
}
printf 'record file      %s (%d lines)\n' "$file" "$lines"
rate=$(field PageLayoutPass '"lines_per_s"')
printf 'layout           %.0f lines/s (target >= 50000 lines/s)\n' "$rate"
worst=$(field CancelLatency '"worst_ms"')
printf 'cancel latency   worst %.0f ms over 10 clicks (target <= 500 ms)\n' "$worst"
