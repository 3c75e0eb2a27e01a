#!/usr/bin/env bash
# Builds the Debian package from a release build without tests or benchmarks
# (preset "package", folder build/package) and checks it: its control fields,
# its file list against the layout we install, the desktop entry, the MIME
# package and the record file's icon it names, the copyright file, the
# changelog and the software centres' description, and lintian's verdict (no
# errors); then unpacks it into a scratch root and runs the programs from
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
  ./usr/share/doc/quillbank-manager/copyright
  ./usr/share/doc/quillbank-manager/changelog.gz
  ./usr/share/metainfo/example.kdv.quillbank_manager.metainfo.xml
)
icon_sizes=(16 22 24 32 48 64 128 256)
for size in "${icon_sizes[@]}"; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/quillbank-manager.png")
  expected+=("./usr/share/icons/hicolor/${size}x${size}/mimetypes/application-x-quillbank-document.png")
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
  # The MIME package must build into a database that maps *.qbd to our type
  # (in a data folder of its own, mime-db/mime, where lookups find it).
  mkdir -p "$root/mime-db"
  cp -r "$root/usr/share/mime" "$root/mime-db/mime"
  update-mime-database "$root/mime-db/mime" >/dev/null 2>&1 || fail "update-mime-database rejects the MIME package"
  grep -q '^application/x-quillbank-document:\*\.qbd$' "$root/mime-db/mime/globs" ||
    fail "the MIME database does not map *.qbd"
  # File managers look up the icon the database names for the type.
  mime_icon=$(sed -n 's/^application\/x-quillbank-document://p' "$root/mime-db/mime/icons" 2>/dev/null)
  [[ -n "$mime_icon" ]] || fail "the MIME database names no icon for the record file type"
else
  mime_icon=$(sed -n 's/.*<icon name="\([^"]*\)".*/\1/p' "$root/usr/share/mime/packages/quillbank-manager.xml")
fi
# The named icon is in the hicolor theme, as a document type's icon, in every
# size, each picture as large as its folder says.
[[ -n "$mime_icon" ]] || fail "the MIME package names no icon"
for size in "${icon_sizes[@]}"; do
  picture="$root/usr/share/icons/hicolor/${size}x${size}/mimetypes/$mime_icon.png"
  [[ -f "$picture" ]] || fail "the record file's icon $mime_icon is missing at ${size}x${size}"
  file -b "$picture" | grep -q "^PNG image data, $size x $size," ||
    fail "the record file's icon at ${size}x${size} is $(file -b "$picture")"
done
echo "package: record files show the icon $mime_icon"

# The changelog is Debian's format and its newest entry is this version.
changelog_version=$(gzip -dc "$root/usr/share/doc/quillbank-manager/changelog.gz" |
  dpkg-parsechangelog -l - -S Version) || fail "the changelog does not parse"
[[ "$changelog_version" == "$(dpkg-deb -f "$deb" Version)" ]] ||
  fail "the changelog's newest entry is $changelog_version, the package $(dpkg-deb -f "$deb" Version)"
head -n 1 "$root/usr/share/doc/quillbank-manager/copyright" |
  grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the copyright file is not in the machine-readable format"

# The software centres' description: valid, and launching the desktop entry
# the package installs.
metainfo="$root/usr/share/metainfo/example.kdv.quillbank_manager.metainfo.xml"
command -v appstreamcli >/dev/null || fail "appstreamcli is missing (scripts/setup.sh installs it)"
appstreamcli validate --no-net --explain "$metainfo" >&2 || fail "the AppStream metainfo does not validate"
launchable=$(sed -n 's/.*<launchable type="desktop-id">\([^<]*\)<.*/\1/p' "$metainfo")
[[ -f "$root/usr/share/applications/$launchable" ]] ||
  fail "the metainfo launches \"$launchable\", which the package does not install"

# lintian: no errors; its warnings are shown.
command -v lintian >/dev/null || fail "lintian is missing (scripts/setup.sh installs it)"
lintian --fail-on error --display-info "$deb" >&2 || fail "lintian reports errors"

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
# A record file is recognised by its content too, also without its .qbd
# name: the MIME database's magic rule, looked up as file managers do
# (GLib's gio; Debian's file(1) has a database of its own and does not ask
# the desktop's).
if command -v update-mime-database >/dev/null; then
  command -v gio >/dev/null || fail "gio is missing (scripts/setup.sh installs libglib2.0-bin)"
  card="$root/mime-card.img"
  run cardsim blank --sectors 64 "$card" || fail "cardsim blank failed"
  run initcard "driver=$card" prompt=0 protocol=0x3685e294 parameter=7E1 >/dev/null ||
    fail "initcard failed"
  run cardsim record --card "$card" --demo 1 --quiet || fail "cardsim record failed"
  (cd "$root" && run readcard "driver=$card" prompt=0 recordoutput=recording.qbd >/dev/null) ||
    fail "readcard failed"
  mv "$root/recording.qbd" "$root/recording"
  content_type() {
    env -i PATH=/usr/bin:/bin HOME="$home" XDG_DATA_HOME="$home/data" \
      XDG_DATA_DIRS="$root/mime-db:/usr/share" gio info -a standard::content-type "$1" |
      sed -n 's/^ *standard::content-type: //p'
  }
  found=$(content_type "$root/recording")
  [[ "$found" == application/x-quillbank-document ]] ||
    fail "a record file without its .qbd name is taken for ${found:-nothing}"
  found=$(content_type "$card")
  [[ "$found" != application/x-quillbank-document ]] || fail "a card image is taken for a record file"
  echo "package: record files are recognised by their content"
fi

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
