#!/usr/bin/env bash
# The Windows application under Wine with its real platform plugin on a
# virtual X display, beside the Linux programs of the dev build:
#   - a recording printed with --print-to-pdf gives the Linux PDF's text
#     (pdftotext), but for the print date;
#   - the application shows a recording, and a second launch hands its file
#     to the running instance;
#   - Card > Info and Card > Read work through the serial drive: the Linux
#     cardsim serial on a pseudo-terminal behind Wine's COM1; the record file
#     holds what the Linux readcard reads from the same card, and the card is
#     empty afterwards.
# Screenshots of each step stay in build/windows/app-e2e. Expects the
# windows preset built (scripts/test-windows.sh does that).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
win_bin=$root/build/windows/bin
lin_bin=$root/build/bin
work=$root/build/windows/app-e2e

fail() {
  echo "test-windows-app: $*" >&2
  exit 1
}

wine=$(sed -n 's/^QB_WINE:FILEPATH=//p' build/windows/CMakeCache.txt 2>/dev/null || true)
[[ -n $wine && -x $wine ]] || fail "no Wine known to build/windows (run scripts/test-windows.sh)"
[[ -f $win_bin/quillbank-manager.exe ]] || fail "$win_bin/quillbank-manager.exe is missing"
wineserver=$(dirname "$wine")/wineserver
[[ -x $wineserver ]] || wineserver=$(command -v wineserver) || fail "no wineserver beside $wine"
export WINEPREFIX=$root/build/windows/wineprefix WINEDEBUG=-all
bash scripts/setup.sh xvfb xdotool imagemagick poppler-utils >/dev/null
bash scripts/build.sh dev --target cardsim initcard readcard qbd quillbank-manager >/dev/null

rm -rf "$work"
mkdir -p "$work/linux" "$work/windows" "$work/home"
pids=()
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

# The settings of both sides start empty: the defaults.
"$wine" reg delete 'HKCU\Software\KDV GmbH' /f >/dev/null 2>&1 || true
linux_env=(env HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_DATA_HOME="$work/home/data"
  XDG_RUNTIME_DIR="$work/home" QT_QPA_PLATFORM=offscreen)
chmod 700 "$work/home"

# A demo card (ring memory, 7E1) and its recording, read by the Linux readcard.
card_options=(prompt=0 protocol=0x3685e294 parameter=7E1 baudrate=9600 memoryfull=overwrite_old)
(cd "$work/linux" &&
  "$lin_bin/cardsim" blank --sectors 2000 card.img &&
  "$lin_bin/initcard" driver=card.img "${card_options[@]}" >/dev/null &&
  "$lin_bin/cardsim" record --card card.img --demo 60 --seed 3 >/dev/null &&
  cp card.img served.img &&
  "$lin_bin/readcard" driver=card.img prompt=0 recordoutput=rec.qbd >/dev/null) ||
  fail "the demo card could not be made"
cp "$work/linux/rec.qbd" "$work/windows/rec.qbd"
cp "$work/linux/rec.qbd" "$work/windows/second.qbd"

# A virtual display of its own.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
[[ -s $work/display ]] || fail "Xvfb did not start"
export DISPLAY=:$(head -n1 "$work/display")
# Wine's processes stay on the display they were started with.
"$wineserver" -k 2>/dev/null || true
timeout 60 "$wineserver" -w || true

shot() {
  sleep 1
  import -window root "$work/$1.png"
}

# Waits up to 60 s for a window whose name matches $1; prints its id.
window() {
  local id
  for _ in $(seq 120); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -n1 || true)
    [[ -n $id ]] && { echo "$id"; return 0; }
    sleep 0.5
  done
  echo "test-windows-app: the windows shown:" >&2
  for id in $(xdotool search --onlyvisible --name . 2>/dev/null); do xdotool getwindowname "$id" >&2; done
  return 1
}

# Waits up to 60 s for the application to have opened a file named $1: the
# recent-file list in the registry names it first.
opened() {
  for _ in $(seq 120); do
    "$wine" reg query 'HKCU\Software\KDV GmbH\Quillbank Manager\Recent File List' /v File1 2>/dev/null |
      grep -qF "/$1" && return 0
    sleep 0.5
  done
  return 1
}

# Sends keys to a window once it is active.
keys() {
  local id=$1
  shift
  # No window manager: the focus is set, not asked for.
  xdotool windowfocus --sync "$id" 2>/dev/null || true
  if (($# > 0)); then xdotool key --delay 100 "$@"; fi
}

# Sends keys to the window that opened last (a box or dialog over the
# application).
answer() {
  local id chosen=""
  for _ in $(seq 20); do
    for id in $(xdotool search --onlyvisible --classname . 2>/dev/null); do
      [[ $id == "$app" ]] && continue
      # The progress window may stay mapped while hidden.
      [[ $(xdotool getwindowname "$id" 2>/dev/null) == "$(printf 'Retrieving card information')" ]] &&
        continue
      chosen=$id
    done
    [[ -n $chosen ]] && break
    sleep 0.5
  done
  [[ -n $chosen ]] || return 1
  keys "$chosen" "$@"
}

# The PDF of the same recording, from both sides.
"${linux_env[@]}" "$lin_bin/quillbank-manager" --print-to-pdf "$work/linux/rec.pdf" "$work/linux/rec.qbd" \
  >/dev/null
(cd "$work/windows" && "$wine" "$win_bin/quillbank-manager.exe" --print-to-pdf rec.pdf rec.qbd >/dev/null) ||
  fail "the Windows application did not print the recording to PDF"
for side in linux windows; do
  pdftotext "$work/$side/rec.pdf" - | grep -v '^Printed ' >"$work/$side/rec.txt"
done
[[ -s $work/linux/rec.txt ]] || fail "the Linux PDF has no text"
cmp "$work/windows/rec.txt" "$work/linux/rec.txt" >/dev/null ||
  fail "the PDF text differs: $(diff "$work/windows/rec.txt" "$work/linux/rec.txt" | head -5)"

# The application with the recording, then a second launch with another file.
(cd "$work/windows" && "$wine" "$win_bin/quillbank-manager.exe" rec.qbd >"$work/app.log" 2>&1) &
app_pid=$!
app=$(window "^Quillbank Manager") || fail "the application's window did not appear"
opened rec.qbd || fail "the application did not open rec.qbd"
sleep 12  # the splash screen's time
shot recording
(cd "$work/windows" && timeout 60 "$wine" "$win_bin/quillbank-manager.exe" second.qbd) ||
  fail "the second launch did not end"
opened second.qbd || fail "the running instance did not open the file of the second launch"
shot second-launch
"$wineserver" -k
wait "$app_pid" || true

# The serial drive: cardsim serial serves the card on a pseudo-terminal and
# Wine's COM1 is pointed at it (Wine maps its ports when its server starts).
: >"$work/terminal"
"$lin_bin/cardsim" serial --card "$work/linux/served.img" >"$work/terminal" 2>"$work/cardsim.err" &
pids+=($!)
for _ in $(seq 100); do [[ -s $work/terminal ]] && break; sleep 0.1; done
terminal=$(head -n1 "$work/terminal")
[[ $terminal == /dev/* ]] || fail "cardsim serial named no terminal: $(cat "$work/cardsim.err")"
"$wine" reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$terminal" /f >/dev/null
"$wine" reg add 'HKCU\Software\KDV GmbH\Quillbank Manager\Options' /v Drive /d Quillbank /f >/dev/null
"$wine" reg add 'HKCU\Software\KDV GmbH\Quillbank Manager\DosDrive' /v Com /t REG_DWORD /d 1 /f >/dev/null
timeout 60 "$wineserver" -w || true

(cd "$work/windows" && "$wine" "$win_bin/quillbank-manager.exe" >"$work/app.log" 2>&1) &
app_pid=$!
sleep 12  # the splash screen's time
app=$(window "^Quillbank Manager") || fail "the application's window did not appear"
# Card > Read first: the card's info box (OK reads), then the system's save
# dialog, its name field first.
keys "$app" ctrl+r
sleep 4
shot card-read-info
answer Return
sleep 3
shot card-read-save
answer
xdotool type --delay 50 serial.qbd
xdotool key Return
opened serial.qbd || fail "Card > Read opened no record file serial.qbd"
sleep 2
shot card-read-done
# Card > Info of the card, now empty.
keys "$app" alt+c f
sleep 4
shot card-info
answer Return
sleep 1
"$wineserver" -k
wait "$app_pid" || true
"$wine" reg delete 'HKLM\Software\Wine\Ports' /v COM1 /f >/dev/null || true

# The read through the serial drive holds what the Linux readcard read.
for side in linux windows; do
  file=rec.qbd
  [[ $side == windows ]] && file=serial.qbd
  "$lin_bin/qbd" export "$work/$side/$file" "$work/$side/export.txt" >/dev/null
done
cmp "$work/windows/export.txt" "$work/linux/export.txt" >/dev/null ||
  fail "the recording read through COM1 differs from the Linux read"
"$lin_bin/cardsim" dump --card "$work/linux/served.img" >"$work/dump.txt"
grep -q '(start)' "$work/dump.txt" && fail "the card was not emptied after Card > Read"
echo "test-windows-app: the Windows application under Wine prints, opens, hands over and reads cards as the Linux one"
