#!/usr/bin/env bash
# Configures and builds one preset of CMakePresets.json: dev (default), asan,
# fuzz, release, package or windows. Further arguments go to the build, e.g.
#   scripts/build.sh dev --target readcard
# The preset names the build folder; configuring an existing folder only
# checks it.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-dev}"
shift || true
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
export CCACHE_NOHASHDIR=1
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)" "$@"
