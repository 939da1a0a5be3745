#!/usr/bin/env bash
# Fails, naming the files, when a tracked C++ source differs from the house style (.clang-format).
# Run by the test suite; `clang-format -i FILE` applies the style.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "clang-format is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
