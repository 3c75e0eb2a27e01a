#!/usr/bin/env bash
# The application on the offscreen platform, in one run:
#   start-up to the first painted document window (a small and a
#   2-million-line record file on the command line)  vs  a bare Qt window
#   the text view's paint at the top, middle and end of the large file, and
#   1000 Page Down steps with a repaint after each
# Usage: bench/app.sh [BIN_DIR] [RECORDS]   (defaults: build/release/bin, 2000000)
set -euo pipefail
cd "$(dirname "$0")/.."
source "bench/timing.sh"
bench_setup "$@"

# The probes keep their settings and file-type entries in a folder of their own.
home="$work/app-home"
mkdir -p "$home/config" "$home/data" "$home/runtime"
chmod 700 "$home/runtime"
export QT_QPA_PLATFORM=offscreen HOME="$home" XDG_CONFIG_HOME="$home/config" \
  XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/runtime"

small="$work/doc-2000.qbd"
large="$work/doc-$records.qbd"
[[ -f "$small" ]] || "$bin/make_record_file" 2000 "$small"
[[ -f "$large" ]] || "$bin/make_record_file" "$records" "$large"

bare=$(best_of 10 "$bin/bare_window_probe")
start_small=$(best_of 10 "$bin/startup_probe" "$small")
start_large=$(best_of 5 "$bin/startup_probe" "$large")
echo "start-up, bare Qt window:                 ${bare} s"
echo "start-up, 2000-line document:             ${start_small} s  ($(ratio "$start_small" "$bare")x bare)"
echo "start-up, $records-line document:   ${start_large} s  ($(ratio "$start_large" "$bare")x bare)"
"$bin/view_paint_probe" "$large"
