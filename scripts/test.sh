#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the dev build's unit
# and end-to-end tests, then the core tests built with ASan + UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh dev
(cd build && ctest --output-on-failure -j "$(nproc)" --timeout 600)
bash scripts/build.sh asan
(cd build/asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --output-on-failure -j "$(nproc)" --timeout 900)
