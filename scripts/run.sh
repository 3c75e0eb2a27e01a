#!/usr/bin/env bash
# Installs what is missing, builds, and runs the product's main job on a demo
# card: a blank card image is prepared with initcard, filled with instrument
# printouts by the recording-device simulator, and read back with readcard
# into a record file, which is then shown, audited and listed as text. Last,
# the application opens the recording (when there is a display to show it).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh dev

bin="$PWD/build/bin"
demo="$PWD/build/demo"
mkdir -p "$demo"
cd "$demo"
rm -f demo-card.img demo.qbd demo.txt demo-options.ini

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

if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  echo "== the application on the recording (close it to finish)"
  "$bin/quillbank-manager" "$demo/demo.qbd"
else
  echo "== no display: the recording printed as the application prints it (A4 PDF)"
  "$bin/quillbank-manager" --print-to-pdf "$demo/demo.pdf" "$demo/demo.qbd"
  echo "== the printout is $demo/demo.pdf; open $demo/demo.qbd with $bin/quillbank-manager on a desktop"
fi
