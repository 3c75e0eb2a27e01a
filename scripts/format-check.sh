#!/usr/bin/env bash
# The C++ sources keep the project's format (.clang-format at the root): any
# file that clang-format would change fails the check, with its places.
set -euo pipefail
cd "$(dirname "$0")/.."
find src tests tools bench packaging \( -name '*.cpp' -o -name '*.h' \) -print0 |
  xargs -0 clang-format --dry-run -Werror
echo "format: the sources are formatted"
