#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and runs with, when they are missing.
# Arguments name further packages that one script needs (the benchmarks' plotting, say).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev
  libsqlite3-dev sqlite3
  libpq-dev postgresql
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-dev clang-format
  fonts-liberation2 xvfb xauth
  poppler-utils  # pdftotext: the tests read printed PDFs back
  file           # cpack's Debian generator reads the kind of each binary
  "$@"
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
