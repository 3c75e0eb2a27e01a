#!/usr/bin/env bash
# Configures (once) and builds one preset: dev (default), asan or release.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-dev}"
case "$preset" in
  dev) dir=build ;;
  *) dir="build/$preset" ;;
esac
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
export CCACHE_NOHASHDIR=1
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
if [[ ! -f "$dir/build.ninja" ]]; then
  cmake --preset "$preset" >/dev/null
fi
cmake --build "$dir" -j "$(nproc)"
