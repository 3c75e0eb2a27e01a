#!/usr/bin/env bash
# Cross-builds the core, readcard, initcard, qbd and the portable unit tests
# for 64-bit Windows (preset "windows", build/windows) and runs the tests
# under Wine in a prefix inside the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-windows.sh
bash scripts/build.sh windows
(cd build/windows && ctest --output-on-failure --timeout 900)
