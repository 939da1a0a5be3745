#!/usr/bin/env bash
# Fails, naming the files, when a C++ source of the project differs from the house style
# (.clang-format). Run by the test suite; `clang-format -i FILE` applies the style. Build folders
# (build*) are not the project's sources.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "clang-format is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
find . \( -path './build*' -o -path './.git' \) -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print0 |
  xargs -0 clang-format --dry-run --Werror
