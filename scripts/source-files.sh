#!/usr/bin/env bash
# Lists the C++ sources of the tree, one a line: the files git tracks, or,
# outside a git checkout, every .cpp and .h below the source folder.
set -euo pipefail
cd "$(dirname "$0")/.."
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files '*.cpp' '*.h'
else
  find . -path './build*' -prune -o \( -name '*.cpp' -o -name '*.h' \) -print | sed 's|^\./||' | sort
fi
