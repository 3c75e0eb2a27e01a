#!/usr/bin/env bash
# Installs what is missing, checks the sources' format, builds, and runs every
# test: the dev build's unit and end-to-end tests, clang-tidy on the core, then
# the core tests built with ASan + UBSan, the fuzz targets' corpora, the Debian
# package, and the Windows build under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/format-check.sh
bash scripts/build.sh dev
ctest --preset dev -j "$(nproc)" --timeout 600
bash scripts/tidy.sh build
bash scripts/build.sh asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --preset asan -j "$(nproc)" --timeout 900
# The fuzz targets (clang + libFuzzer) replay their seed corpora once.
targets=$(cd tests/fuzz && ls ./*_fuzz.cpp | sed 's|^\./||; s|\.cpp$||')
bash scripts/build.sh fuzz --target $targets
ctest --preset fuzz --timeout 600
# The Debian package from a release build without tests, with the manual's
# screenshots taken from the application just built, checked and run from a
# scratch root.
QB_MANUAL_SCREENSHOTS=1 bash scripts/package.sh
# The core, the programs and the portable unit tests cross-built for Windows
# and run under Wine, the card jobs end to end against the Linux programs,
# and the serial drive through Wine's COM1.
bash scripts/test-windows.sh
