#!/usr/bin/env bash
# Installs the Debian packages of the Windows cross build: the MinGW-w64
# compilers (POSIX threads flavour), their tools, and Wine to run the results.
# GoogleTest is built from the sources of the googletest package.
set -euo pipefail

PACKAGES=(g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 googletest cmake ninja-build)

missing=()
for pkg in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$pkg")
  fi
done
if ((${#missing[@]} == 0)); then
  echo "setup-windows: all packages present"
  exit 0
fi
SUDO=""
if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
echo "setup-windows: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup-windows: done"
