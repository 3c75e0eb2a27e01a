#!/usr/bin/env bash
# Cross-builds the core, the programs (readcard, initcard, qbd, cardsim
# without its serial command) and the portable unit tests for 64-bit Windows
# (preset "windows", build/windows), runs the tests under Wine in a prefix
# inside the build folder, and then the card jobs end to end under Wine
# against the Linux programs (scripts/test-windows-e2e.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-windows.sh
bash scripts/build.sh windows
ctest --preset windows --timeout 900
bash scripts/test-windows-e2e.sh
