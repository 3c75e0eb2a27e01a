#!/usr/bin/env bash
# The printout of a recording as pages (the paper view), in one run: the
# pass that lays a 100,000-line recording out into pages, in lines per
# second (target >= 50,000 lines/s), for balance reports (text, wrapped at
# the right margin) and for oscilloscope screen dumps (bit images); a single
# page laid out on demand (median and worst of 200 at random); the memory
# the page starts take; qbd text of the recording against cat of its export,
# and its peak memory at two sizes (flat: the pages are not kept).
# Usage: bench/printout_layout.sh [BIN_DIR] [LINES]   (defaults: build/release/bin, 100000)
set -euo pipefail
cd "$(dirname "$0")/.."
source "bench/timing.sh"
bin="${1:-build/release/bin}"
lines="${2:-100000}"
work="${BENCH_DIR:-build/bench}"
mkdir -p "$work"
peak_kib() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }

file_for() {  # N [plot]
  local file="$work/printout-$1${2:+-$2}.qbd"
  [[ -f "$file" ]] || "$bin/make_record_file" "$1" "$file" ${2:+"$2"}
  echo "$file"
}
text=$(file_for "$lines")
plot=$(file_for "$lines" plot)
half=$(file_for $((lines / 2)))
cat "$text" "$plot" "$half" >/dev/null  # warm the cache

counter() {  # FILE BENCHMARK COUNTER
  QB_BENCH_RECORD_FILE="$1" "$bin/printout_bench" --benchmark_format=csv \
    --benchmark_filter="$2" 2>/dev/null |
    awk -F, -v name="\"$3\"" '
      /^name,/ { for (i = 1; i <= NF; i++) col[$i] = i; next }
      { print $col[name] }'
}

printf 'recording        %d lines: %s, %s\n' "$lines" "$text" "$plot"
for kind in text plot; do
  file=${!kind}
  rate=$(counter "$file" PrintoutPagination lines_per_s)
  pages=$(counter "$file" PrintoutPagination pages)
  starts=$(counter "$file" PrintoutPagination start_bytes)
  median=$(counter "$file" PrintoutPageOnDemand median_ms)
  worst=$(counter "$file" PrintoutPageOnDemand worst_ms)
  printf '%-5s layout       %.0f lines/s into %.0f pages (target >= 50000 lines/s); page starts %.0f KiB\n' \
    "$kind" "$rate" "$pages" "$(awk -v b="$starts" 'BEGIN { print b / 1024 }')"
  printf '%-5s one page     median %.2f ms, worst %.2f ms (laid out on demand)\n' "$kind" "$median" "$worst"
done

"$bin/qbd" export "$text" "$work/printout.txt"
t_cat=$(best_of 5 sh -c "cat '$work/printout.txt' > /dev/null")
t_text=$(best_of 5 "$bin/qbd" text "$text")
rm -f "$work/printout.txt"
printf 'qbd text         %.3f s, %.0f lines/s (cat of the export: %.3f s)\n' "$t_text" \
  "$(awk -v n="$lines" -v t="$t_text" 'BEGIN { print n / t }')" "$t_cat"
printf 'peak memory      qbd text %s KiB at %d lines, %s KiB at %d lines (flat)\n' \
  "$(peak_kib "$bin/qbd" text "$text")" "$lines" "$(peak_kib "$bin/qbd" text "$half")" $((lines / 2))
