#!/usr/bin/env bash
# Builds the Windows setup program with NSIS from the windows preset's
# install tree (build/windows/QuillbankManager-VERSION-setup.exe), then
# installs it silently into the build's Wine prefix, runs the application's
# --version and readcard's help from the installed folder, checks the
# shortcuts and the file type, uninstalls it silently and checks that
# nothing of it is left. Expects the windows preset built
# (scripts/test-windows.sh does that).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/windows

fail() {
  echo "test-windows-installer: $*" >&2
  exit 1
}

wine=$(sed -n 's/^QB_WINE:FILEPATH=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
[[ -n $wine && -x $wine ]] || fail "no Wine known to build/windows (run scripts/test-windows.sh)"
wineserver=$(dirname "$wine")/wineserver
[[ -x $wineserver ]] || wineserver=$(command -v wineserver) || fail "no wineserver beside $wine"
# Wine's menu builder would copy the shortcuts into the desktop's menu.
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d
bash scripts/setup.sh nsis >/dev/null

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
setup=$build/QuillbankManager-$version-setup.exe
stage=$build/stage
rm -rf "$stage" "$setup"
cmake --install "$build" --prefix "$stage" >/dev/null
for file in bin/quillbank-manager.exe bin/readcard.exe bin/Qt6Widgets.dll bin/platforms/qwindows.dll \
  bin/libstdc++-6.dll share/doc/quillbank-manager/manual/index.html; do
  [[ -f $stage/$file ]] || fail "the install tree lacks $file"
done
started=$(date +%s%N)
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$setup" \
  -DAPPICON="$build/icons/quillbank-manager.ico" packaging/windows/installer.nsi >/dev/null
echo "test-windows-installer: $(basename "$setup") ($(($(stat -c %s "$setup") / 1024)) KiB) made in" \
  "$((($(date +%s%N) - started) / 1000000)) ms"

# Installed into a folder of the test's own inside the prefix (the setup
# program takes /D= only unquoted: a name without blanks).
target='C:\QuillbankTest\QuillbankManager'
folder=$WINEPREFIX/drive_c/QuillbankTest
rm -rf "$folder"
reg() { "$wine" reg query "$@" 2>/dev/null; }
"$wine" reg delete 'HKCU\Software\Classes\.qbd' /f >/dev/null 2>&1 || true
"$wine" "$setup" /S "/D=$target"
timeout 120 "$wineserver" -w || true
installed="$folder/QuillbankManager"
[[ -f $installed/bin/quillbank-manager.exe ]] || fail "the setup program installed no application"
version_line=$("$wine" "$installed/bin/quillbank-manager.exe" --version | head -n1 | tr -d '\r')
[[ $version_line == "Quillbank Manager V$version" ]] ||
  fail "the installed application says \"$version_line\" to --version"
help=$("$wine" "$installed/bin/readcard.exe" help | tr -d '\r')
[[ $help == "READCARD V"*"option file"* ]] || fail "the installed readcard shows no help"
menu=$("$wine" winepath -u 'C:\users' 2>/dev/null | tr -d '\r')
links=$(find "$menu" -path '*Start Menu/Programs/Quillbank Manager/*.lnk' 2>/dev/null | wc -l)
((links == 3)) || fail "the Start menu has $links shortcuts, not 3"
reg 'HKCU\Software\Classes\.qbd' /ve | grep -q 'QuillbankManager.Document' ||
  fail "the setup program did not register .qbd"
reg 'HKCU\Software\Classes\QuillbankManager.Document\shell\open\command' /ve |
  grep -qF "$target\\bin\\quillbank-manager.exe" || fail "the open command is not the installed program"

"$wine" "$installed/Uninstall.exe" /S
# The uninstaller runs on from a copy of itself: waited for through Wine.
timeout 120 "$wineserver" -w || true
for _ in $(seq 60); do [[ -e $installed ]] || break; sleep 0.5; done
[[ ! -e $installed ]] || fail "files are left after uninstalling: $(find "$installed" | head -5)"
left=$(find "$menu" -path '*Quillbank Manager*' 2>/dev/null | head -3)
[[ -z $left ]] || fail "Start-menu entries are left: $left"
for key in 'HKCU\Software\Classes\.qbd' 'HKCU\Software\Classes\QuillbankManager.Document' \
  'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\QuillbankManager'; do
  reg "$key" >/dev/null && fail "the registry key $key is left"
done
rmdir "$folder" 2>/dev/null || true
echo "test-windows-installer: installed, run and uninstalled without a trace"
