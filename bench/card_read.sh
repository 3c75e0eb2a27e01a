#!/usr/bin/env bash
# Card jobs against plain file reading, warm cache, in one run:
#   readcard over a full ring-memory card image  vs  cat IMAGE > /dev/null
#   (and vs cp IMAGE COPY: readcard writes a record file larger than the card)
#   initcard on the same image (it writes a handful of sectors)
# Usage: bench/card_read.sh [BIN_DIR] [MiB]   (defaults: build/release/bin, 512)
set -euo pipefail
cd "$(dirname "$0")/.."
bin="${1:-build/release/bin}"
mib="${2:-512}"
work="${BENCH_DIR:-build/bench}"
mkdir -p "$work"
img="$work/card-${mib}m.img"
sectors=$((mib * 2048))

source "bench/timing.sh"

if [[ ! -f "$img" ]]; then
  echo "making a full ${mib} MiB ring card ..."
  "$bin/cardsim" blank --sectors "$sectors" "$img"
  "$bin/initcard" "driver=$img" prompt=0 protocol=0x3685e294 memoryfull=overwrite_old >/dev/null
  # enough printouts to fill the card and wrap it
  "$bin/cardsim" record --card "$img" --demo $((mib * 1400)) >/dev/null
fi

cat "$img" >/dev/null  # warm the cache
t_cat=$(best_of 3 sh -c "cat '$img' > /dev/null")
t_cp=$(best_of 3 cp "$img" "$work/copy.img")
rm -f "$work/copy.img"
t_read=$(best_of 3 "$bin/readcard" "driver=$img" prompt=0 "recordoutput=$work/bench.qbd")
records=$(stat -c %s "$work/bench.qbd")
t_init=$(best_of 3 "$bin/initcard" "driver=$img" prompt=0 protocol=0x3685e294 memoryfull=overwrite_old)

printf 'image            %s (%d MiB)\n' "$img" "$mib"
printf 'record file      %d bytes\n' "$records"
printf 'cat              %.3f s\n' "$t_cat"
printf 'cp of the image  %.3f s   (writing a file as large as the card)\n' "$t_cp"
printf 'readcard         %.3f s   ratio %.2f (target <= 2)\n' "$t_read" "$(ratio "$t_read" "$t_cat")"
printf 'readcard vs cp   ratio %.2f\n' "$(ratio "$t_read" "$t_cp")"
printf 'initcard         %.4f s\n' "$t_init"
# initcard emptied the card: the next run makes a new image
rm -f "$img"
