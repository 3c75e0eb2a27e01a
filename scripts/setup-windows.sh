#!/usr/bin/env bash
# Installs the Debian packages of the Windows cross build: the MinGW-w64
# compilers (POSIX threads flavour), their tools, Wine to run the results,
# NSIS for the setup program, and what the application's end-to-end test
# under Wine uses (a virtual display, xdotool, ImageMagick, poppler).
# GoogleTest is built from the sources of the googletest package.
set -euo pipefail
exec bash "$(dirname "$0")/setup.sh" g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 googletest \
  cmake ninja-build nsis xvfb xauth xdotool x11-utils imagemagick poppler-utils fonts-liberation
