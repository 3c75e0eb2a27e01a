#!/usr/bin/env bash
# The paper view and its printing (release build), in one run, for a balance
# recording (text) and for oscilloscope screen dumps (bit images):
#   the paint of one page at the window's width (target <= 16 ms), with the
#   page kept laid out and with the page laid out for the paint;
#   --print-to-pdf --paper of a 500-page recording against --print-to-pdf of
#   the same recording in line mode (target <= 2x; best of 3 for the text,
#   one run each for the plots, whose line pages of written-out dot bytes
#   take minutes);
#   the peak memory of --print-to-pdf --paper at 500 and 1000 pages (flat:
#   pages are laid out one at a time and not kept).
# Usage: bench/paper.sh [BIN_DIR]   (default: build/release/bin)
set -euo pipefail
cd "$(dirname "$0")/.."
source "bench/timing.sh"
bin="${1:-build/release/bin}"
work="${BENCH_DIR:-build/bench}"
mkdir -p "$work"
peak_kib() { /usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1; }

# The probes keep their settings in a folder of their own (the default
# printer: 9-pin, code page 437, A4).
home="$work/paper-home"
mkdir -p "$home/config" "$home/data" "$home/runtime"
chmod 700 "$home/runtime"
export QT_QPA_PLATFORM=offscreen HOME="$home" XDG_CONFIG_HOME="$home/config" \
  XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/runtime"

# About 500 printer pages of each kind, and twice as many.
file_for() {  # N [plot]
  local file="$work/paper-$1${2:+-$2}.qbd"
  [[ -f "$file" ]] || "$bin/make_record_file" "$1" "$file" ${2:+"$2"}
  echo "$file"
}
text=$(file_for 16000)
text2=$(file_for 32000)
plot=$(file_for 50000 plot)
plot2=$(file_for 100000 plot)
cat "$text" "$text2" "$plot" "$plot2" >/dev/null  # warm the cache

# The best of N runs of --print-to-pdf: "SECONDS PAGES".
print_pdf() {  # N FILE [--paper]
  local n=$1 file=$2 best="" pages=""
  for _ in $(seq "$n"); do
    local t0 t1 dt out
    t0=$(now)
    out=$("$bin/quillbank-manager" --print-to-pdf "$work/paper.pdf" ${3:+"$3"} "$file")
    t1=$(now)
    dt=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", b - a }')
    pages=$(sed -n 's/.*(pages: \([0-9]*\)).*/\1/p' <<<"$out")
    if [[ -z "$best" ]] || awk -v a="$dt" -v b="$best" 'BEGIN { exit !(a < b) }'; then best=$dt; fi
  done
  echo "$best $pages"
}

for kind in text plot; do
  file=${!kind}
  double_var="${kind}2"
  double=${!double_var}
  echo "== $kind: $file"
  "$bin/paper_paint_probe" "$file" 1280 900 | sed 's/^/   /'
  runs=3
  [[ $kind == plot ]] && runs=1
  read -r t_paper paper_pages < <(print_pdf $runs "$file" --paper)
  read -r t_lines line_pages < <(print_pdf $runs "$file")
  printf '   PDF, paper mode   %s s (%s pages)\n' "$t_paper" "$paper_pages"
  printf '   PDF, line mode    %s s (%s pages)\n' "$t_lines" "$line_pages"
  printf '   paper / lines     %sx (target <= 2x)\n' "$(ratio "$t_paper" "$t_lines")"
  printf '   peak memory       %s KiB at %s pages, %s KiB at %s pages (flat)\n' \
    "$(peak_kib "$bin/quillbank-manager" --print-to-pdf "$work/paper.pdf" --paper "$file")" \
    "$paper_pages" \
    "$(peak_kib "$bin/quillbank-manager" --print-to-pdf "$work/paper.pdf" --paper "$double")" \
    "$(print_pdf 1 "$double" --paper | cut -d' ' -f2)"
done
rm -f "$work/paper.pdf"
