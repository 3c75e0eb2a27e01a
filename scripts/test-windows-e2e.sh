#!/usr/bin/env bash
# The card jobs end to end with the Windows programs under Wine, side by side
# with the Linux programs of the dev build (the four built here first):
#   cardsim blank -> initcard -> cardsim record -> readcard
# on an image file in each of build/windows/e2e/{windows,linux}. The images
# must be byte-identical after every step, and the record files apart from
# the read-date line of their option text. The Windows readcard must read
# the same through Wine's COM1 from the Linux cardsim serial. The Windows qbd
# must say and export of the Linux record file what the Linux qbd does.
# Expects the windows preset built (scripts/test-windows.sh does that).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
win_bin=$root/build/windows/bin
lin_bin=$root/build/bin
work=$root/build/windows/e2e

fail() {
  echo "test-windows-e2e: $*" >&2
  exit 1
}

wine=$(sed -n 's/^QB_WINE:FILEPATH=//p' build/windows/CMakeCache.txt 2>/dev/null || true)
[[ -n $wine && -x $wine ]] || fail "no Wine known to build/windows (run scripts/test-windows.sh)"
for program in cardsim initcard readcard qbd; do
  [[ -f $win_bin/$program.exe ]] || fail "$win_bin/$program.exe is missing"
done
export WINEPREFIX=$root/build/windows/wineprefix WINEDEBUG=-all

bash scripts/build.sh dev --target cardsim initcard readcard qbd >/dev/null

rm -rf "$work"
mkdir -p "$work/windows" "$work/linux"

# run SIDE PROGRAM ARGS...: runs a program of that side in its folder, so
# that both sides name their files alike (the option text and qbd's title
# hold file names).
run() {
  local side=$1 program=$2
  shift 2
  if [[ $side == windows ]]; then
    (cd "$work/windows" && "$wine" "$win_bin/$program.exe" "$@")
  else
    (cd "$work/linux" && "$lin_bin/$program" "$@")
  fi
}

# Standard output of a Windows program has CR LF line ends.
text() {
  sed 's/\r$//'
}

same_images() {
  cmp "$work/windows/card.img" "$work/linux/card.img" >/dev/null ||
    fail "the card images differ after $1"
}

init_options=(driver=card.img prompt=0 protocol=0x3685e294 parameter=7E1
              memoryfull=overwrite_old)

for side in windows linux; do
  run $side cardsim blank --sectors 400 card.img
done
same_images "cardsim blank"

# The master number is the time of initialisation in seconds: both inits
# must fall into one second (tried again should a second begin between them).
for attempt in 1 2 3; do
  run windows initcard "${init_options[@]}" >/dev/null
  run linux initcard "${init_options[@]}" >/dev/null
  cmp -s "$work/windows/card.img" "$work/linux/card.img" && break
done
same_images initcard

for side in windows linux; do
  run $side cardsim record --card card.img --demo 400 --seed 7 | text >"$work/$side/record.out"
  run $side cardsim dump --card card.img | text >"$work/$side/dump.out"
done
same_images "cardsim record"
cmp "$work/windows/record.out" "$work/linux/record.out" || fail "cardsim record reports differ"
cmp "$work/windows/dump.out" "$work/linux/dump.out" >/dev/null || fail "cardsim dump accounts differ"
cp "$work/linux/card.img" "$work/recorded.img"

for side in windows linux; do
  run $side readcard driver=card.img prompt=0 recordoutput=card.qbd >/dev/null
  cmp "$work/$side/card.img" "$work/recorded.img" >/dev/null || fail "readcard ($side) changed the card"
done

# A copy of a record file with the date of its read-date line and the
# checksum of the record holding it blanked out (the date is fixed-width).
masked() {
  local file=$1 copy=$2 prefix='# read date: ' at pos=0 length
  cp "$file" "$copy"
  at=$(grep -abo -m1 -- "$prefix" "$file" | head -n1 | cut -d: -f1)
  [[ -n $at ]] || fail "no read-date line in $file"
  printf '%24s' '' | dd of="$copy" bs=1 seek=$((at + ${#prefix})) conv=notrunc status=none
  # Records: u32 number, u16 CRC, u16 length, u16 kind, the data.
  while :; do
    length=$(od -An -tu2 --endian=little -j $((pos + 6)) -N2 "$file" | tr -d ' ')
    [[ -n $length ]] || fail "no record holds the read-date line of $file"
    ((at < pos + 10 + length)) && break
    pos=$((pos + 10 + length))
  done
  printf '\0\0' | dd of="$copy" bs=1 seek=$((pos + 4)) conv=notrunc status=none
}
masked "$work/windows/card.qbd" "$work/windows.masked"
masked "$work/linux/card.qbd" "$work/linux.masked"
cmp "$work/windows.masked" "$work/linux.masked" ||
  fail "the record files differ beyond the read date"
run linux qbd verify ../windows/card.qbd >/dev/null || fail "the Windows record file does not verify"

# qbd on the Linux record file, both programs run in the Linux folder.
(cd "$work/linux" && "$wine" "$win_bin/qbd.exe" info --json card.qbd) | text >"$work/info.windows"
run linux qbd info --json card.qbd >"$work/info.linux"
cmp "$work/info.windows" "$work/info.linux" || fail "qbd info --json differs"
(cd "$work/linux" && "$wine" "$win_bin/qbd.exe" export card.qbd export-windows.txt)
run linux qbd export card.qbd export-linux.txt
cmp "$work/linux/export-windows.txt" "$work/linux/export-linux.txt" || fail "qbd export differs"

# The serial drive: the Linux cardsim serial serves a copy of the recorded
# card on a pseudo-terminal, Wine's COM1 is pointed at that terminal, and the
# Windows readcard reads the card through the Win32 serial code (DD_COM=1,
# driver path "****"). Wine maps COM ports from HKLM\Software\Wine\Ports
# when its server starts (a link put into dosdevices by hand is replaced
# then), so the server is let go before the read.
wineserver=$(dirname "$wine")/wineserver
[[ -x $wineserver ]] || wineserver=$(command -v wineserver) || fail "no wineserver beside $wine"
mkdir -p "$work/serial"
cp "$work/recorded.img" "$work/serial/card.img"
: >"$work/serial/terminal"
"$lin_bin/cardsim" serial --card "$work/serial/card.img" >"$work/serial/terminal" \
  2>"$work/serial/cardsim.err" &
simulator=$!
trap 'kill "$simulator" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  [[ $(wc -l <"$work/serial/terminal") -ge 1 ]] && break
  sleep 0.1
done
terminal=$(head -n1 "$work/serial/terminal")
[[ $terminal == /dev/* ]] || fail "cardsim serial named no terminal: $(cat "$work/serial/cardsim.err")"
"$wine" reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$terminal" /f >/dev/null
timeout 60 "$wineserver" -w
# A server that had the port open lists its objects on standard error when it
# ends: into a log, and waited for before going on.
"$wineserver" -p3 2>"$work/serial/wineserver.log"
(cd "$work/serial" &&
  env -u DD_DEVICE DD_COM=1 timeout 300 "$wine" "$win_bin/readcard.exe" 'driver=****' prompt=0 \
    recordoutput=card.qbd >/dev/null) || fail "readcard through COM1 failed"
kill "$simulator"
wait "$simulator" || true
trap - EXIT
"$wine" reg delete 'HKLM\Software\Wine\Ports' /v COM1 /f >/dev/null
timeout 60 "$wineserver" -w
cmp "$work/serial/card.img" "$work/recorded.img" >/dev/null || fail "reading through COM1 changed the card"
masked "$work/serial/card.qbd" "$work/serial.masked"
cmp "$work/serial.masked" "$work/linux.masked" ||
  fail "the record file read through COM1 differs from the raw read beyond the read date"

# cardsim serial needs a pseudo-terminal and says so on Windows.
if run windows cardsim serial --card card.img 2>"$work/serial.err"; then
  fail "cardsim serial succeeded on Windows"
fi
grep -q "not available on Windows" "$work/serial.err" || fail "cardsim serial: $(cat "$work/serial.err")"

echo "test-windows-e2e: the Windows programs under Wine match the Linux ones"
