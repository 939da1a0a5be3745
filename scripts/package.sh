#!/usr/bin/env bash
# Builds the terminal's Debian package from the build folder (build/ unless BUILD_DIR says
# otherwise; configured and built here when needed) and checks its contents and dependencies:
#   scripts/package.sh        ->  build/res00011_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}

scripts/install-deps.sh
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j "$(nproc)"
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls -t "$build"/res00011_*.deb | head -n 1)
scripts/check-package.sh "$deb"
echo "$deb"
