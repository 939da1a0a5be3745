#!/usr/bin/env bash
# The run command: installs what is missing, builds, prepares the demo installation beside the
# host in build/bin (the SQLite database restaurante.db from the sample-data generator, the
# station's parameter files and the access store, from host/demo/*.json) and starts the host
# with the given arguments (branch, store, screen configuration, consultation value; demo
# defaults otherwise). Without a display it writes a screenshot of the menu instead.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)" --target res00011-host Pkg_res00011 res00011-sampledata cdstool

bin=build/bin
build/res00011-prepare-station "$bin"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: writing the menu's picture to build/menu.png instead of showing it."
  exec "$bin/res00011-host" --screenshot build/menu.png "$@"
fi
exec "$bin/res00011-host" "$@"
