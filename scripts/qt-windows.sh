#!/usr/bin/env bash
# Builds Qt for 64-bit Windows (MinGW-w64) from Debian's own qt6-base source
# and installs it into a cache folder: $QB_QT_WINDOWS, or build/qt-windows.
# The Windows application is built against it; the host Qt's moc, rcc and uic
# (same version) serve as the host tools.
#
# Does nothing when the folder already holds Qt of the host Qt's version.
# QB_QT_WINDOWS_ARCHIVE=FILE.tar.xz names a packed copy of such a folder (made
# by an earlier run, with the same flags): it is unpacked instead of building,
# when its SHA-256 is the one in QB_QT_WINDOWS_ARCHIVE_SHA256 (if set).
#
# The source comes through apt-get source; when apt knows no source entries,
# a sources file of the script's own is added with deb-src entries copied from
# the machine's deb entries (same addresses and suites).
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$PWD"
prefix="${QB_QT_WINDOWS:-$repo/build/qt-windows}"
work="${QB_QT_WINDOWS_WORK:-$repo/build/qt-windows-work}"
host_cmake_dir=/usr/lib/x86_64-linux-gnu/cmake

# Stays one line: the version a Qt prefix holds, read from its CMake files.
qt_version() {
  sed -n 's/^set(PACKAGE_VERSION "\(.*\)")$/\1/p' "$1/Qt6Core/Qt6CoreConfigVersionImpl.cmake" 2>/dev/null || true
}

bash scripts/setup.sh qt6-base-dev qt6-base-dev-tools dpkg-dev xz-utils cmake ninja-build
bash scripts/setup-windows.sh
host_version=$(qt_version "$host_cmake_dir")
if [[ -z "$host_version" ]]; then
  echo "qt-windows: the host Qt's version is not readable under $host_cmake_dir" >&2
  exit 1
fi
if [[ "$(qt_version "$prefix/lib/cmake")" == "$host_version" ]]; then
  echo "qt-windows: Qt $host_version for Windows is in $prefix"
  exit 0
fi

if [[ -n "${QB_QT_WINDOWS_ARCHIVE:-}" && -f "$QB_QT_WINDOWS_ARCHIVE" ]]; then
  if [[ -n "${QB_QT_WINDOWS_ARCHIVE_SHA256:-}" ]] &&
    ! echo "$QB_QT_WINDOWS_ARCHIVE_SHA256  $QB_QT_WINDOWS_ARCHIVE" | sha256sum --check --status; then
    echo "qt-windows: $QB_QT_WINDOWS_ARCHIVE is not the expected archive (SHA-256); building from source" >&2
  else
    echo "qt-windows: unpacking $QB_QT_WINDOWS_ARCHIVE into $prefix"
    rm -rf "$prefix.partial"
    mkdir -p "$prefix.partial"
    tar -xJf "$QB_QT_WINDOWS_ARCHIVE" -C "$prefix.partial"
    if [[ "$(qt_version "$prefix.partial/lib/cmake")" == "$host_version" ]]; then
      rm -rf "$prefix"
      mv "$prefix.partial" "$prefix"
      exit 0
    fi
    rm -rf "$prefix.partial"
    echo "qt-windows: the archive does not hold Qt $host_version; building from source" >&2
  fi
fi

# Debian's source of the host Qt's package version.
source_version=$(dpkg-query -W -f='${source:Version}' qt6-base-dev)
mkdir -p "$work"
srcdir=$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -n1)
if [[ -z "$srcdir" || ! -f "$work/.source-$source_version" ]]; then
  if ! apt-get source --print-uris "qt6-base=$source_version" >/dev/null 2>&1; then
    echo "qt-windows: adding deb-src entries for the machine's deb entries"
    own=/etc/apt/sources.list.d/quillbank-qt-source
    SUDO=""
    if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
    # deb822 files: each stanza of type deb again as deb-src.
    for f in /etc/apt/sources.list.d/*.sources; do
      [[ -f "$f" && "$f" != "$own.sources" ]] || continue
      awk 'BEGIN { RS = ""; ORS = "\n\n" }
           { n = split($0, line, "\n"); deb = 0; off = 0
             for (i = 1; i <= n; i++) {
               if (line[i] ~ /^Types:/) { m = split(line[i], t, /[ \t]+/)
                 for (j = 2; j <= m; j++) if (t[j] == "deb") deb = 1 }
               if (line[i] ~ /^Enabled:[ \t]*no/) off = 1 }
             if (!deb || off) next
             out = ""
             for (i = 1; i <= n; i++) out = out (line[i] ~ /^Types:/ ? "Types: deb-src" : line[i]) "\n"
             printf "%s\n", out }' "$f"
    done | $SUDO tee "$own.sources" >/dev/null
    # One-line lists.
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
      [[ -f "$f" && "$f" != "$own.list" ]] || continue
      sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f"
    done | $SUDO tee "$own.list" >/dev/null
    $SUDO apt-get update -qq
  fi
  rm -rf "$work/src"
  mkdir -p "$work/src"
  (cd "$work/src" && apt-get source --download-only -qq "qt6-base=$source_version" >/dev/null)
  orig=$(find "$work/src" -maxdepth 1 -name 'qt6-base_*.orig.tar.*' | head -n1)
  if [[ -z "$orig" ]]; then
    echo "qt-windows: apt-get source brought no qt6-base source" >&2
    exit 1
  fi
  find "$work" -maxdepth 1 -type d -name 'qt6-base-*' -exec rm -rf {} +
  # The upstream source as Debian ships it; Debian's own patches concern the
  # Linux build and are not applied.
  tar -xf "$orig" -C "$work"
  srcdir=$(find "$work" -maxdepth 1 -type d -name 'qtbase-everywhere-src-*' | head -n1)
  mv "$srcdir" "$work/qt6-base-$source_version"
  srcdir="$work/qt6-base-$source_version"
  rm -f "$work"/.source-*
  touch "$work/.source-$source_version"
fi

build="$work/build"
rm -rf "$build" "$prefix"
mkdir -p "$build"
started=$(date +%s)
# The Windows platform plugin, Core, Gui, Widgets, PrintSupport, Network and
# Test; everything else off. Debian's source lacks the tablet header
# (wintab.h): tablet events off. With OpenGL off the Windows plugin still
# compiles a dynamic-GL path unless that is off too. The third-party libraries
# are Qt's bundled copies, linked into Qt's own DLLs.
cmake -S "$srcdir" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="$host_cmake_dir" \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DBUILD_SHARED_LIBS=ON \
  -DFEATURE_opengl=OFF -DFEATURE_dynamicgl=OFF -DFEATURE_tabletevent=OFF \
  -DFEATURE_dbus=OFF -DFEATURE_sql=OFF -DFEATURE_icu=OFF -DFEATURE_concurrent=OFF \
  -DFEATURE_xml=OFF -DFEATURE_openssl=OFF -DFEATURE_vulkan=OFF \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
  -DFEATURE_system_jpeg=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF \
  -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_libb2=OFF \
  -DFEATURE_testlib=ON -DFEATURE_printsupport=ON -DFEATURE_network=ON >"$work/configure.log"
configured=$(date +%s)
cmake --build "$build" -j "$(nproc)" >"$work/build.log"
cmake --install "$build" >/dev/null
finished=$(date +%s)
if [[ "$(qt_version "$prefix/lib/cmake")" != "$host_version" ]]; then
  echo "qt-windows: the build did not install Qt $host_version into $prefix" >&2
  exit 1
fi
rm -rf "$build"
echo "qt-windows: Qt $host_version for Windows built from Debian's source $source_version" \
  "into $prefix: configure $((configured - started)) s, build and install $((finished - configured)) s"
