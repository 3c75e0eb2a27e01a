#!/usr/bin/env bash
# The Windows build and its tests under Wine (prefix build/windows/wineprefix):
#   1. Qt for Windows (scripts/qt-windows.sh: built from Debian's qt6-base
#      source, or unpacked from $QB_QT_WINDOWS_ARCHIVE; kept in
#      build/qt-windows). With QB_WINDOWS_APP=0 it is not made, and without
#      it the application's steps are skipped, saying so.
#   2. The preset "windows" (build/windows): the core, the programs, the
#      application, the unit tests and the application's Qt Test programs,
#      run under Wine (ctest).
#   3. The card jobs end to end against the Linux programs
#      (scripts/test-windows-e2e.sh).
#   4. The application end to end on a virtual display
#      (scripts/test-windows-app.sh) and the setup program
#      (scripts/test-windows-installer.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-windows.sh
if [[ ${QB_WINDOWS_APP:-1} != 0 ]]; then
  bash scripts/qt-windows.sh
fi
bash scripts/build.sh windows
if [[ ! -f build/windows/bin/quillbank-manager.exe ]]; then
  echo "test-windows: no Qt for Windows (scripts/qt-windows.sh): the Windows application is not built" \
    "or tested this time" >&2
fi
export WINEPREFIX=$PWD/build/windows/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d
wine=$(sed -n 's/^QB_WINE:FILEPATH=//p' build/windows/CMakeCache.txt)
# Qt's offscreen platform on Windows finds its fonts through the prefix's
# environment (Wine does not pass Qt's variables on).
"$wine" reg add 'HKCU\Environment' /v QT_QPA_FONTDIR /d 'Z:\usr\share\fonts\truetype\liberation' /f \
  >/dev/null
ctest --preset windows --timeout 900
bash scripts/test-windows-e2e.sh
if [[ -f build/windows/bin/quillbank-manager.exe ]]; then
  bash scripts/test-windows-app.sh
  bash scripts/test-windows-installer.sh
fi
