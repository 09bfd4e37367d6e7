#!/usr/bin/env bash
# Lists again, under wine64, the characters that Windows' best fit makes
# unsafe in an ANSI command line, into launch/ansi_unsafe_table.cc. Needs the
# win64 build (tools/build-all.sh win64).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build/win64 --target list_ansi_unsafe
source tools/wine-env.sh
vlx_wine_start
"$WINE" build/win64/bin/list_ansi_unsafe.exe >launch/ansi_unsafe_table.cc.new </dev/null
mv launch/ansi_unsafe_table.cc.new launch/ansi_unsafe_table.cc
git diff --stat -- launch/ansi_unsafe_table.cc
