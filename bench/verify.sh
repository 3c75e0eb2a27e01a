#!/usr/bin/env bash
# Checking a folder of recordings against plain hashing, warm cache, side by
# side in one run (the two take turns, three times each; the median counts):
#   qbd verify --dir FOLDER   (every record's check, the numbering, the
#                              SHA-256 against each file's read report)
#   sha256sum FOLDER/*.qbd    (the hash alone)
# over FILES recordings of about 1 MB each, each with its read report.
# Usage: bench/verify.sh [BIN_DIR] [FILES]   (defaults: build/release/bin, 1000)
set -euo pipefail
cd "$(dirname "$0")/.."
source "bench/timing.sh"
bin="${1:-build/release/bin}"
files="${2:-1000}"
work="${BENCH_DIR:-build/bench}"
folder="$work/verify-$files"

# seconds of one run of a command, its output dropped
seconds() {
  local t0 t1
  t0=$(now)
  "$@" >/dev/null 2>&1 || true
  t1=$(now)
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f", b - a }'
}
median3() { printf '%s\n' "$@" | sort -g | sed -n 2p; }

if [[ ! -f "$folder/rec-$files.qbd.report.json" ]]; then
  echo "making $files recordings of about 1 MB ..."
  rm -rf "$folder"
  mkdir -p "$folder"
  "$bin/make_record_file" 6900 "$folder/rec-1.qbd"
  for i in $(seq 2 "$files"); do cp "$folder/rec-1.qbd" "$folder/rec-$i.qbd"; done
  "$bin/make_read_report" "$folder"/rec-*.qbd
fi

cat "$folder"/* >/dev/null  # warm the cache
if ! "$bin/qbd" verify --require-report --dir "$folder" | tail -1 | grep -q " 0 failed, 0 not"; then
  echo "qbd verify does not pass the folder" >&2
  exit 1
fi
t_verify=()
t_sha=()
for _ in 1 2 3; do
  t_verify+=("$(seconds "$bin/qbd" verify --require-report --dir "$folder")")
  t_sha+=("$(seconds sh -c "sha256sum '$folder'/*.qbd")")
done
m_verify=$(median3 "${t_verify[@]}")
m_sha=$(median3 "${t_sha[@]}")

printf 'recordings       %d files of %d bytes in %s\n' "$files" \
  "$(stat -c %s "$folder/rec-1.qbd")" "$folder"
printf 'sha256sum        %.3f s   (runs: %s)\n' "$m_sha" "${t_sha[*]}"
printf 'qbd verify --dir %.3f s   (runs: %s)   ratio %s (target <= 1.5)\n' "$m_verify" \
  "${t_verify[*]}" "$(ratio "$m_verify" "$m_sha")"
