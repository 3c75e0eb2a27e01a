#!/usr/bin/env bash
# Builds the Debian package from a release build without tests or benchmarks
# (preset "package", folder build/package) and checks it: its control fields,
# its file list against the layout we install, the desktop entry and the MIME
# package; then unpacks it into a scratch root and runs the programs from
# there, and checks that the installed application leaves the file type to
# the installation (it registers nothing in the user's data folder).
#   scripts/package.sh            the package ends in build/package/
#   QB_MANUAL_SCREENSHOTS=1 scripts/package.sh   the manual with its screenshots
#                                 (taken under xvfb-run; CI leaves them out for time)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=build/package
bash scripts/build.sh package
if [[ "${QB_MANUAL_SCREENSHOTS:-0}" == 1 ]]; then
  bash scripts/build.sh package --target manual_screenshots
fi
rm -f "$dir"/quillbank-manager_*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
debs=("$dir"/quillbank-manager_*.deb)
deb="${debs[0]}"
[[ -f "$deb" ]] || { echo "package: no .deb was made" >&2; exit 1; }
echo "package: $deb"

fail() {
  echo "package: $*" >&2
  exit 1
}

# Control fields: library dependencies found from the programs, plus the font.
control=$(dpkg-deb -f "$deb")
echo "$control" | grep -E '^(Package|Version|Architecture|Depends|Installed-Size):'
depends=$(dpkg-deb -f "$deb" Depends | tr ',|' '\n\n' | sed 's/^ *//; s/[ (].*//')
for needed in libc6 libstdc++6 libqt6widgets6 libqt6printsupport6 libssl3 fonts-liberation; do
  grep -qx "$needed" <<<"$depends" || fail "Depends lacks $needed"
done

# The file list: exactly these files, nothing of the build (no libraries,
# headers or tests).
expected=(
  ./usr/bin/carddriver ./usr/bin/cardsim ./usr/bin/initcard ./usr/bin/qbd
  ./usr/bin/quillbank-manager ./usr/bin/readcard
  ./usr/share/applications/quillbank-manager.desktop
  ./usr/share/mime/packages/quillbank-manager.xml
  ./usr/share/doc/quillbank-manager/manual/index.html
  ./usr/share/doc/quillbank-manager/manual/manual.css
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/quillbank-manager.png")
done
for page in carddriver cardsim initcard qbd quillbank-manager readcard; do
  expected+=("./usr/share/man/man1/$page.1.gz")
done
listed=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
# Screenshots of the manual come with the package when they were made.
actual=$(echo "$listed" | grep -v '^\./usr/share/doc/quillbank-manager/manual/images/[a-z_]*\.png$' || true)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
if [[ "$actual" != "$wanted" ]]; then
  diff <(echo "$wanted") <(echo "$actual") >&2 || true
  fail "the file list differs (< expected, > packaged)"
fi
echo "package: $(echo "$listed" | wc -l) files as expected"
if dpkg-deb -c "$deb" | awk '$2 != "root/root" || substr($1, 6, 1) == "w" || substr($1, 9, 1) == "w"' |
  grep -q .; then
  fail "a packaged file is not root's or is writable by others"
fi

# Unpack into a scratch root and run from there.
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/usr/share/applications/quillbank-manager.desktop"
fi
grep -q '^Exec=quillbank-manager %f$' "$root/usr/share/applications/quillbank-manager.desktop" ||
  fail "the desktop entry does not open a file"
if command -v update-mime-database >/dev/null; then
  # The MIME package must build into a database that maps *.qbd to our type.
  cp -r "$root/usr/share/mime" "$root/mime-check"
  update-mime-database "$root/mime-check" >/dev/null 2>&1 || fail "update-mime-database rejects the MIME package"
  grep -q '^application/x-quillbank-document:\*\.qbd$' "$root/mime-check/globs" ||
    fail "the MIME database does not map *.qbd"
fi

home="$root/home"
mkdir -p "$home/config" "$home/data" "$home/cache" "$home/runtime"
chmod 700 "$home/runtime"
run() {
  env -i PATH="$root/usr/bin:/usr/bin:/bin" HOME="$home" XDG_CONFIG_HOME="$home/config" \
    XDG_DATA_HOME="$home/data" XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/runtime" \
    XDG_DATA_DIRS="$root/usr/share:/usr/share" QT_QPA_PLATFORM=offscreen "$@"
}
version=$(run quillbank-manager --version)
echo "$version"
[[ "$version" == "Quillbank Manager V"* ]] || fail "quillbank-manager --version: $version"
help=$(run readcard help)
echo "$help" | head -n 1
echo "$help" | grep -q 'driver=<driver name>' || fail "readcard help: $help"
run initcard help >/dev/null || fail "initcard help failed"
for program in carddriver cardsim qbd; do
  run "$program" --help >/dev/null || fail "$program --help failed"
done
# The installed application starts (and ends at once: -p with nothing to
# print) without registering the file type for the user; where its share
# folder is not one the desktop searches, it does register it.
registered() { [[ -e "$home/data/applications/quillbank-manager.desktop" ]]; }
run quillbank-manager -p >/dev/null 2>&1 || true
! registered || fail "the installed application registered the file type for the user"
[[ ! -e "$home/data/mime/packages/quillbank-manager.xml" ]] ||
  fail "the installed application registered the MIME type for the user"
run env XDG_DATA_DIRS=/usr/share quillbank-manager -p >/dev/null 2>&1 || true
registered || fail "the application did not register the file type outside its installation"
echo "package: checks passed"
