#!/usr/bin/env bash
# Sets everything up on a new machine and runs the host's main job: the sample
# requests are written to the Windows host under wine64 through Windows pipes
# (tools/pipe_bridge.exe), and its replies are shown decoded.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake -S . -B build/win64 -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-x86_64-mingw.cmake" >/dev/null
cmake --build build/win64 -j"$(nproc)" --target VellumixBrowserHost pipe_bridge >/dev/null
source tools/wine-env.sh
vlx_wine_start
bin=build/win64/bin
echo "requests (samples/exchange.jsonl):"
grep -v '^#' samples/exchange.jsonl | sed 's/^/  /'
echo "replies:"
tools/frames.py encode < samples/exchange.jsonl |
  "$WINE" "$bin/pipe_bridge.exe" --preload "$bin/VellumixBrowserHost.exe" 2>/dev/null |
  tools/frames.py decode | sed 's/^/  /'

# ---- conversion: a page in, a PDF out, progress shown ---------------------
# The host writes the page to a temporary file and starts the reference
# converter (built beside it) which reports its progress through the host to
# the "browser" and saves the PDF in "Vellumix Converter" in its temp folder.
echo
echo "conversion (samples/page.html as \"HTMLoPDF\"):"
python3 -c 'import json,sys; print(json.dumps({"action":"HTMLoPDF","title":"Sample page.html","htmlText":open(sys.argv[1],encoding="utf-8").read()}))' \
  samples/page.html | tools/frames.py encode |
  "$WINE" "$bin/pipe_bridge.exe" --preload "$bin/VellumixBrowserHost.exe" 2>/dev/null |
  tools/frames.py decode | sed 's/^/  /'
pdf=$(find "$WINEPREFIX/drive_c/users" -path '*/Vellumix Converter/Sample page.pdf' | head -n 1)
echo "PDF written: ${pdf#"$WINEPREFIX/"}"
echo "its text (pdftotext):"
pdftotext -enc UTF-8 "$pdf" - | sed '/^\s*$/d; s/^/  /'
# ---- end of conversion ------------------------------------------------------
