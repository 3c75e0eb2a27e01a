#!/usr/bin/env bash
# Installs what is missing, builds, and runs the product's main job on a demo
# card: a blank card image is prepared with initcard, filled with instrument
# printouts by the recording-device simulator, and read back with readcard
# into a record file, which is then shown, audited and listed as text. Last,
# the card driver serves a second demo card (ring memory, a few hundred
# printouts that wrapped once) as the default drive "quilUSB", slot 0, and
# the application opens the recording (when there is a display to show it),
# so that Card > Info, Read and Init work on that card with the default
# settings. The driver stops when the application exits (or at once when
# there is no display).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh dev

bin="$PWD/build/bin"
demo="$PWD/build/demo"
mkdir -p "$demo"
cd "$demo"
rm -f demo-card.img demo.qbd demo.txt demo-options.ini quilusb-card.img quilusb-id.txt driver.qbd

echo "== a blank 8 MiB card"
"$bin/cardsim" blank --sectors 16384 demo-card.img
echo "== prepare it (ring memory, 9600 Baud 7E1)"
"$bin/initcard" driver=demo-card.img prompt=0 protocol=0x3685e294 baudrate=9600 \
  parameter=7E1 memoryfull=overwrite_old
echo "== record 40 demo printouts"
"$bin/cardsim" record --card demo-card.img --demo 40
echo "== read the card into demo.qbd"
"$bin/readcard" driver=demo-card.img prompt=0 recordoutput=demo.qbd optionoutput=demo-options.ini
echo "== the record file as a document"
"$bin/qbd" info demo.qbd
echo "== its first printed lines"
"$bin/qbd" show demo.qbd --count 14
echo "== audit of the record file"
"$bin/qbd" verify demo.qbd | tail -n 3
echo "== the same records as a text listing (first lines of demo.txt)"
"$bin/readcard" driver=demo-card.img prompt=0 recordoutput=demo.txt format=ascii >/dev/null
head -n 12 demo.txt
echo "== settings read from the card (demo-options.ini)"
cat demo-options.ini
echo "== files in $demo"
ls -l "$demo"

echo "== a card for the card driver: 400 sectors, ring memory, 300 printouts (wraps once)"
"$bin/cardsim" blank --sectors 400 quilusb-card.img
printf 'Demo Lab/1' >quilusb-id.txt
"$bin/initcard" driver=quilusb-card.img prompt=0 protocol=0x3685e294 baudrate=9600 \
  parameter=7E1 memoryfull=overwrite_old comment=quilusb-id.txt >/dev/null
"$bin/cardsim" record --card quilusb-card.img --demo 300

echo "== the card driver serves it as \\\\.\\quilUSB, slot 0"
driver_pid=""
stop_driver() {
  if [[ -n "$driver_pid" ]]; then
    kill -TERM "$driver_pid" 2>/dev/null || true
    wait "$driver_pid" 2>/dev/null || true
    driver_pid=""
  fi
}
trap stop_driver EXIT
"$bin/carddriver" --name quilUSB --slot 0="$demo/quilusb-card.img" >carddriver.log 2>&1 &
driver_pid=$!
for _ in $(seq 50); do
  grep -q serving carddriver.log 2>/dev/null && break
  kill -0 "$driver_pid" 2>/dev/null || break
  sleep 0.1
done
if grep -q serving carddriver.log 2>/dev/null; then
  cat carddriver.log
  echo "== READCARD through the card driver (the card stays as it is)"
  "$bin/readcard" 'driver=\\.\quilUSB' slot=0 prompt=0 recordoutput=driver.qbd | tail -n 2
  "$bin/qbd" info driver.qbd | head -n 4
else
  echo "carddriver did not start:" >&2
  cat carddriver.log >&2
  driver_pid=""
fi

if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  echo "== the application on the recording; Card > Info, Read and Init use the driver's card"
  echo "   (close the application to finish; the driver stops with it)"
  "$bin/quillbank-manager" "$demo/demo.qbd" || true
else
  echo "== no display: the recording printed as the application prints it (A4 PDF)"
  "$bin/quillbank-manager" --print-to-pdf "$demo/demo.pdf" "$demo/demo.qbd"
  echo "== the printout is $demo/demo.pdf; open $demo/demo.qbd with $bin/quillbank-manager on a desktop"
fi
stop_driver
echo "== card driver stopped"
