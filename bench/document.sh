#!/usr/bin/env bash
# Record files as documents against plain file tools, warm cache, in one run:
#   qbd info (open: checks, record count, index build)  vs  cat FILE > /dev/null
#   random line fetches (document_bench, 10,000 lines)   median and 99th percentile
#   qbd find of an absent text                           vs  grep -F -c on the exported text
#   qbd export                                           vs  cp of the exported text
#   peak memory of qbd find (open and walk every line) and of qbd info (the
#     open with the recording's facts) at two file sizes
# Usage: bench/document.sh [BIN_DIR] [RECORDS]   (defaults: build/release/bin, 2000000)
set -euo pipefail
cd "$(dirname "$0")/.."
source "bench/timing.sh"
bench_setup "$@"
peak_kib() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }

file_for() {
  local n=$1 file="$work/doc-$1.qbd"
  [[ -f "$file" ]] || "$bin/make_record_file" "$n" "$file"
  echo "$file"
}

qbd="$bin/qbd"
file=$(file_for "$records")
half=$(file_for $((records / 2)))
text="$work/doc-$records.txt"
rm -f "$text"
"$qbd" export "$file" "$text"

cat "$file" "$text" >/dev/null  # warm the cache
t_cat=$(best_of 5 sh -c "cat '$file' > /dev/null")
t_open=$(best_of 5 "$qbd" info "$file")
t_grep=$(best_of 5 grep -F -c "no such text" "$text")
t_find=$(best_of 5 "$qbd" find "$file" "no such text")
t_cp=$(best_of 5 sh -c "rm -f '$work/copy.txt'; cp '$text' '$work/copy.txt'")
t_export=$(best_of 5 sh -c "rm -f '$work/export.txt'; '$qbd' export '$file' '$work/export.txt'")
rm -f "$work/copy.txt" "$work/export.txt"
fetch=$(QB_BENCH_RECORD_FILE="$file" "$bin/document_bench" --benchmark_format=csv 2>/dev/null |
  awk -F, '/RandomLineFetch/ { print }')
mem_full=$(peak_kib "$qbd" find "$file" "no such text")
mem_half=$(peak_kib "$qbd" find "$half" "no such text")
mem_open_full=$(peak_kib "$qbd" info "$file")
mem_open_half=$(peak_kib "$qbd" info "$half")

printf 'record file      %s (%d bytes, %d data records)\n' "$file" "$(stat -c %s "$file")" "$records"
printf 'cat              %.3f s\n' "$t_cat"
printf 'qbd info (open)  %.3f s   ratio %s (target <= 2)\n' "$t_open" "$(ratio "$t_open" "$t_cat")"
printf 'grep -F -c       %.3f s\n' "$t_grep"
printf 'qbd find         %.3f s   ratio %s (target <= 5)\n' "$t_find" "$(ratio "$t_find" "$t_grep")"
printf 'cp               %.3f s\n' "$t_cp"
printf 'qbd export       %.3f s   ratio %s (target <= 3)\n' "$t_export" "$(ratio "$t_export" "$t_cp")"
printf 'random fetch     %s\n' "$fetch"
printf 'peak memory      %s KiB at %d records, %s KiB at %d records (target <= 51200, flat)\n' \
  "$mem_full" "$records" "$mem_half" $((records / 2))
printf 'peak memory, open %s KiB at %d records, %s KiB at %d records (flat)\n' \
  "$mem_open_full" "$records" "$mem_open_half" $((records / 2))
