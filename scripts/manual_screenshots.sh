#!/usr/bin/env bash
# Takes the user manual's screenshots from the real application, so that they
# always show the program as it is: makes a demo recording with the card
# programs, serves two demo cards through the card driver (slot 0 with
# recordings, slot 1 prepared and empty), and runs the screenshot program
# (packaging/manual_shots.cpp, linked with the application) under a virtual
# X server with a home and settings of its own.
#   scripts/manual_screenshots.sh BIN_DIR MANUAL_SHOTS OUT_DIR
# The build runs it as: cmake --build BUILD --target manual_screenshots
# (pictures in BUILD/share/doc/quillbank-manager/manual/images).
set -euo pipefail
if (($# != 3)); then
  echo "usage: $0 BIN_DIR MANUAL_SHOTS OUT_DIR" >&2
  exit 2
fi
source_dir=$(cd "$(dirname "$0")/.." && pwd)
bin=$(realpath "$1")
shots=$(realpath "$2")
mkdir -p "$3"
out=$(realpath "$3")
command -v xvfb-run >/dev/null || { echo "manual_screenshots: xvfb-run is missing (bash scripts/setup.sh)" >&2; exit 1; }

work=$(mktemp -d)
driver_pid=""
cleanup() {
  if [[ -n "$driver_pid" ]]; then
    kill -TERM "$driver_pid" 2>/dev/null || true
    wait "$driver_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

export HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share" XDG_CACHE_HOME="$HOME/.cache"
export XDG_RUNTIME_DIR="$work/runtime" DD_KDVDIR="$work/kdv"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR" "$DD_KDVDIR"
chmod 700 "$XDG_RUNTIME_DIR"
cd "$work"

prepare() {  # IMAGE SECTORS: a blank card prepared as the application prepares one
  "$bin/cardsim" blank --sectors "$2" "$1"
  "$bin/initcard" driver="$1" prompt=0 protocol=0x3685e294 baudrate=9600 parameter=7E1 \
    memoryfull=overwrite_old comment=id.txt >/dev/null
}
printf 'Lab 2 Balance' >id.txt
prepare demo-card.img 2048
"$bin/cardsim" record --card demo-card.img --demo 60 --quiet
"$bin/readcard" driver=demo-card.img prompt=0 recordoutput=demo.qbd >/dev/null
# A titration with a bell before its alarm line (a printer code mixed with
# text), and one record changed in the record file afterwards (manipulated).
prepare marked-card.img 400
printf '%s\n' 'TITRATOR TX-9   S/N 5521880' 'Method  Chloride 0.1 mol/L' \
  'Sample  W-2026-118' 'Result  12.41 mg/L' 'Sample  W-2026-119' 'Result  12.38 mg/L' \
  'Sample  W-2026-120' '\aOVERTITRATION - CHECK BURETTE' 'Operator OP-06' >titration.txt
"$bin/cardsim" record --card marked-card.img --from titration.txt --quiet
"$bin/readcard" driver=marked-card.img prompt=0 recordoutput=marked.qbd >/dev/null
offset=$(grep -obUa '12.41 mg' marked.qbd | head -1 | cut -d: -f1)
[[ -n "$offset" ]] || { echo "manual_screenshots: no result line in the titration" >&2; exit 1; }
printf '7' | dd of=marked.qbd bs=1 seek=$((offset + 4)) conv=notrunc status=none
prepare full.img 400
"$bin/cardsim" record --card full.img --demo 120 --quiet
prepare empty.img 400

"$bin/carddriver" --name quilUSB --slot 0="$work/full.img" --slot 1="$work/empty.img" \
  >carddriver.log 2>&1 &
driver_pid=$!
for _ in $(seq 50); do
  grep -q serving carddriver.log 2>/dev/null && break
  sleep 0.1
done
grep -q serving carddriver.log || { echo "manual_screenshots: carddriver did not start" >&2; cat carddriver.log >&2; exit 1; }

rm -f "$out"/*.png
xvfb-run -a -s "-screen 0 1280x800x24" env -u QT_QPA_PLATFORM "$shots" "$out" "$work/demo.qbd" "$work/marked.qbd"
# Every picture the manual shows must have been taken.
manual="$source_dir/docs/manual/index.html"
missing=0
for picture in $(grep -o 'src="images/[a-z_]*\.png"' "$manual" | sed 's/^src="images\///; s/"$//'); do
  [[ -f "$out/$picture" ]] || { echo "manual_screenshots: $picture was not taken" >&2; missing=1; }
done
exit "$missing"
