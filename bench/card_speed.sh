#!/usr/bin/env bash
# The jobs that touch every byte, against the disk, warm cache, side by side
# in one run, median of three:
#   readcard of a full wrapped ring card    vs  dd of the card image, durable
#     (for each size given)                     (bs=1M conv=fsync): target <= 2x
#     and readcard's CPU time (user + system) per GiB of card: target <= 1 s
#   qbd export of the record file read      vs  cat of the record file into a
#     from the largest card                     file: target <= 3x
#   the open of each record file read       vs  cat of it to /dev/null: <= 2x
#     (short printed lines, millions of records): the load that leaves the
#     document in use, from document_bench; beside it when the recording's
#     facts, gathered after the load, are complete, and qbd info (which
#     prints them)
#   qbd info of a 1 GiB file of zero bytes (not a recording, refused):
#     target >= 1 GB/s
# Usage: bench/card_speed.sh [BIN_DIR] [MiB ...]   (defaults: build/release/bin, 128 1024)
set -euo pipefail
cd "$(dirname "$0")/.."
source "bench/timing.sh"
bin="${1:-build/release/bin}"
shift || true
sizes=("$@")
[[ ${#sizes[@]} -gt 0 ]] || sizes=(128 1024)
work="${BENCH_DIR:-build/bench}"
mkdir -p "$work"

# Into the cache: cat to /dev/null may not read at all (the kernel can
# splice a file to it without touching its pages).
warm() { dd if="$1" of=/dev/null bs=1M 2>/dev/null; }

records_of() { "$bin/qbd" info "$1" | sed -n 's/^records: \([0-9]*\).*/\1/p'; }

# A full ring card of MiB mebibytes, recorded round more than once.
card_for() {
  local mib=$1 img="$work/ring-$1m.img"
  if [[ ! -f "$img" ]]; then
    "$bin/cardsim" blank --sectors $((mib * 2048)) "$img" >/dev/null
    "$bin/initcard" "driver=$img" prompt=0 protocol=0x3685e294 parameter=8E1 \
      memoryfull=overwrite_old >/dev/null
    "$bin/cardsim" record --card "$img" --demo $((mib * 1600)) --quiet >/dev/null
  fi
  echo "$img"
}

for mib in "${sizes[@]}"; do
  img=$(card_for "$mib")
  rec="$work/ring-${mib}m.qbd"
  warm "$img"
  # A new record file each run, as a user's read makes one.
  # Each run writes a new file; the last run's is removed and the disk left
  # to settle before it, untimed.
  read -r t_dd cpu_dd < <(before_each="rm -f '$work/copy.img'; sync" median_of 3 \
    dd "if=$img" "of=$work/copy.img" bs=1M conv=fsync)
  read -r t_read cpu_read < <(before_each="rm -f '$rec'; sync" median_of 3 \
    "$bin/readcard" "driver=$img" prompt=0 "recordoutput=$rec")
  rm -f "$work/copy.img"
  printf '== ring card %d MiB, record file %d bytes\n' "$mib" "$(stat -c %s "$rec")"
  printf '   dd conv=fsync   %.3f s   (CPU %.2f s)\n' "$t_dd" "$cpu_dd"
  printf '   readcard        %.3f s   ratio %s (target <= 2)\n' "$t_read" "$(ratio "$t_read" "$t_dd")"
  printf '   readcard CPU    %.3f s   %.2f s per GiB (target <= 1)\n' "$cpu_read" \
    "$(awk -v c="$cpu_read" -v m="$mib" 'BEGIN { printf "%.2f", c * 1024 / m }')"
done

# The record file of the last (largest) card.
warm "$rec"
sync
read -r t_copy _ < <(before_each="rm -f '$work/copy.qbd'; sync" median_of 3 \
  sh -c "cat '$rec' > '$work/copy.qbd'")
read -r t_export cpu_export < <(before_each="rm -f '$work/export.txt'; sync" median_of 3 \
  "$bin/qbd" export "$rec" "$work/export.txt")
# The export's floor: its text made durable, as the export makes it.
read -r t_text_sync _ < <(before_each="rm -f '$work/copy.txt'; sync" median_of 3 \
  dd "if=$work/export.txt" "of=$work/copy.txt" bs=1M conv=fsync)
rm -f "$work/copy.qbd" "$work/export.txt" "$work/copy.txt"
printf '== record file %s (%d records)\n' "$rec" "$(records_of "$rec")"
printf '   cat > file      %.3f s\n' "$t_copy"
printf '   qbd export      %.3f s   ratio %s (target <= 3)   (CPU %.2f s)\n' "$t_export" "$(ratio "$t_export" "$t_copy")" "$cpu_export"
printf '   dd of its text, conv=fsync (the export is durable)   %.3f s\n' "$t_text_sync"

# The open of every card's record file.
for mib in "${sizes[@]}"; do
  rec="$work/ring-${mib}m.qbd"
  warm "$rec"
  read -r t_cat _ < <(median_of 3 sh -c "cat '$rec' > /dev/null")
  read -r t_read_all _ < <(median_of 3 dd "if=$rec" of=/dev/null bs=1M)
  IFS=, read -r t_facts t_open < <(QB_BENCH_RECORD_FILE="$rec" "$bin/document_bench" \
    --benchmark_filter='OpenRecordFile/1' --benchmark_format=csv 2>/dev/null | tail -1 | cut -d, -f11,12)
  read -r t_info cpu_info < <(median_of 3 "$bin/qbd" info "$rec")
  printf '== the open of %s (%d records, %d bytes)\n' "$rec" "$(records_of "$rec")" "$(stat -c %s "$rec")"
  printf '   cat > /dev/null %.3f s   (dd of it to /dev/null, every byte read: %.3f s)\n' "$t_cat" "$t_read_all"
  printf '   open            %.3f s   ratio %s (target <= 2)\n' "$t_open" "$(ratio "$t_open" "$t_cat")"
  printf '   facts complete  %.3f s   qbd info %.3f s (CPU %.2f s)\n' "$t_facts" "$t_info" "$cpu_info"
done

zero="$work/zero-1g.bin"
[[ -f "$zero" ]] || head -c $((1 << 30)) /dev/zero >"$zero"
warm "$zero"
read -r t_zero _ < <(median_of 3 "$bin/qbd" info "$zero")
printf '== 1 GiB of zero bytes\n'
printf '   qbd info        %.3f s   %s GB/s (target >= 1)\n' "$t_zero" \
  "$(awk -v t="$t_zero" 'BEGIN { printf "%.2f", 1.073741824 / t }')"
