#!/usr/bin/env bash
# Checks a built terminal package: the files it must hold, where Debian expects them, and its
# dependencies (computed from the binaries, plus the screens' face).
#   scripts/check-package.sh FILE.deb
set -euo pipefail
deb=$1
contents=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's#^\./#/#')
fail() { echo "check-package: $*" >&2; exit 1; }
for path in /usr/bin/res00011-host /usr/bin/res00011-data /usr/bin/cdstool /usr/bin/res00011-sampledata \
            /usr/bin/res00011-prepare-station /usr/bin/res00011-report /usr/bin/res00011-reservations \
            /usr/bin/res00011-journal /usr/share/res00011/db/sqlite/operations-upgrade-3.sql \
            /usr/lib/res00011/res00011-host /usr/lib/res00011/libPkg_res00011.so /usr/lib/res00011/libPkg_Gpe00002.so \
            /usr/lib/res00011/libqor_core.so /usr/lib/res00011/libres_platform_db.so \
            /usr/share/res00011/db/sqlite/schema.sql /usr/share/res00011/db/postgresql/operations.sql \
            /usr/share/res00011/db/sqlite/history.sql /usr/share/res00011/db/postgresql/history.sql \
            /usr/share/res00011/demo/PARAMETROSQOR.json /usr/share/res00011/demo/altera-garcom.script; do
  grep -qx "$path" <<<"$contents" || fail "$deb lacks $path"
done
# Nothing outside /usr, nothing of the build or the tests.
if grep -vE '^/usr(/|$)|^/$' <<<"$contents" | grep -q .; then fail "files outside /usr: $(grep -vE '^/usr(/|$)|^/$' <<<"$contents" | head -3)"; fi
if grep -qE 'test_|gtest|bench_|/build' <<<"$contents"; then fail "test or build files in the package"; fi
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libqt6core6 libqt6printsupport6 libqt6svg6 libsqlite3-0 libpq5 fonts-liberation2; do
  grep -q "$needed" <<<"$depends" || fail "Depends lacks $needed: $depends"
done
version=$(dpkg-deb -f "$deb" Version)
grep -q "project(res00011 VERSION $version " CMakeLists.txt || fail "version $version is not the project's"
echo "check-package: $deb holds $(wc -l <<<"$contents") paths; Depends: $depends"
