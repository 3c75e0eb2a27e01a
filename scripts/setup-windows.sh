#!/usr/bin/env bash
# Installs the Debian packages of the Windows cross build: the MinGW-w64
# compilers (POSIX threads flavour), their tools, and Wine to run the results.
# GoogleTest is built from the sources of the googletest package.
set -euo pipefail
exec bash "$(dirname "$0")/setup.sh" g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 googletest \
  cmake ninja-build
