#!/usr/bin/env bash
# readcard through the serial card drive on a line of 115200 Baud, simulated
# by cardsim serial --pace 115200 on a pseudo-terminal:
#   sectors read per second  vs  the line's limit (11,520 bytes per second
#     over the 531 bytes of one sector exchange: SOH, STX, 11-byte request,
#     ACK, 517-byte response)
#   readcard's processor time (user + system) as a share of the wall time
# Usage: bench/serial_read.sh [BIN_DIR] [SECTORS]   (defaults: build/release/bin, 400)
set -euo pipefail
cd "$(dirname "$0")/.."
bin="${1:-build/release/bin}"
sectors="${2:-400}"
work="${BENCH_DIR:-build/bench}"
mkdir -p "$work"
img="$work/serial-${sectors}.img"
pace=115200

if [[ ! -f "$img" ]]; then
  echo "making a full ring card of $sectors sectors ..."
  "$bin/cardsim" blank --sectors "$sectors" "$img"
  "$bin/initcard" "driver=$img" prompt=0 protocol=0x3685e294 memoryfull=overwrite_old >/dev/null
  # enough printouts to fill the card and wrap it, so that every sector is read
  "$bin/cardsim" record --card "$img" --demo $((sectors * 3)) --quiet
fi

out="$work/serial-sim.out"
err="$work/serial-sim.err"
"$bin/cardsim" serial --card "$img" --pace "$pace" >"$out" 2>"$err" &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 100); do [[ -s "$out" ]] && break; sleep 0.05; done
export DD_DEVICE="$(head -n 1 "$out")"
export DD_BAUDRATE="$pace"

TIMEFORMAT='%R %U %S'
times=$({ time "$bin/readcard" driver=**** prompt=0 "recordoutput=$work/serial.qbd" >/dev/null 2>&1; } 2>&1)
kill -TERM "$sim"
wait "$sim" || true
trap - EXIT
summary=$(tail -n 1 "$err")
field() { sed -n "s/.*$1=\([0-9]*\).*/\1/p" <<<"$summary"; }
read_sectors=$(field read)
exchanges=$(field exchanges)
bytes=$(($(field bytes_in) + $(field bytes_out)))

awk -v t="$times" -v n="$read_sectors" -v x="$exchanges" -v b="$bytes" -v pace="$pace" 'BEGIN {
  split(t, a, " "); real = a[1]; cpu = a[2] + a[3];
  line = pace / 10; limit = line / 531;
  printf "line             %d Baud = %d bytes/s; limit %.2f sectors/s\n", pace, line, limit;
  printf "readcard         %.2f s wall, %.3f s user+sys; %d exchanges, %d sectors read\n", real, cpu, x, n;
  printf "sectors/s        %.2f   %.1f %% of the limit (target >= 90 %%)\n", n / real, 100 * n / real / limit;
  printf "line use         %.0f bytes/s   %.1f %% of the line\n", b / real, 100 * b / real / line;
  printf "readcard CPU     %.2f %% of one core (target <= 5 %%)\n", 100 * cpu / real;
}'
