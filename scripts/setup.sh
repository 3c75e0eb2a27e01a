#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, or
# the packages named as arguments (scripts/setup-windows.sh names its own).
# Installs only what is missing; uses sudo when not run as root.
set -euo pipefail

DEFAULT_PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev
  fonts-liberation poppler-utils
  clang libclang-rt-14-dev clang-format clang-tidy
  libssl-dev
  bc time
  libx11-dev
  xvfb xauth imagemagick
  dpkg-dev file desktop-file-utils shared-mime-info xdg-utils libglib2.0-bin lintian appstream
)
if (($# > 0)); then PACKAGES=("$@"); else PACKAGES=("${DEFAULT_PACKAGES[@]}"); fi

missing=()
for pkg in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$pkg")
  fi
done

if ((${#missing[@]} == 0)); then
  echo "setup: all packages present"
  exit 0
fi

SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: done"
