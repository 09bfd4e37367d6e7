#!/usr/bin/env bash
# Sets everything up on a new machine and runs the host's main job: the sample
# requests are written to the Windows host under wine64 through Windows pipes
# (tools/pipe_bridge.exe), and its replies are shown decoded.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake --preset win64 >/dev/null
cmake --build build/win64 -j"$(nproc)" --target VellumixBrowserHost pipe_bridge vlx_editor VereZeDid2Uza.x86 >/dev/null
source tools/wine-env.sh
vlx_wine_start
bin=build/win64/bin
echo "requests (samples/exchange.jsonl):"
grep -v '^#' samples/exchange.jsonl | sed 's/^/  /'
echo "replies:"
tools/frames.py encode < samples/exchange.jsonl |
  "$WINE" "$bin/pipe_bridge.exe" --preload "$bin/VellumixBrowserHost.exe" 2>/dev/null |
  tools/frames.py decode | sed 's/^/  /'

# ---- editor: open a PDF in the stand-in editor --------------------------------
# The stand-in VLXEditor.exe records each command line it is started with. It
# is installed in a folder with a blank and registered where the host looks
# (HKLM\SOFTWARE\Vellumix\PDFEditor, "InstallPath"); then samples/hello.pdf is
# sent as an "openPDF" data URL in two chunks.
vlx_install_editor "$bin"
echo
echo "openPDF of samples/hello.pdf, in two chunks:"
python3 - samples/hello.pdf <<'PY' > "$WINEPREFIX/openpdf.jsonl"
import base64, json, sys
url = "data:application/pdf;base64," + base64.b64encode(open(sys.argv[1], "rb").read()).decode()
half = len(url) // 2
print(json.dumps({"action": "openPDF", "title": "Hello \u2014 demo", "url": "https://example.org/hello.pdf",
                  "data": url[:half], "dataRest": 1}))
print(json.dumps({"action": "openPDF", "data": url[half:], "dataRest": 0}))
PY
tools/frames.py encode < "$WINEPREFIX/openpdf.jsonl" |
  "$WINE" "$bin/pipe_bridge.exe" --preload "$bin/VellumixBrowserHost.exe" 2>/dev/null |
  tools/frames.py decode | sed 's/^/  /'
for _ in $(seq 50); do [ -s "$WINEPREFIX/drive_c/vlx-editor.log" ] && break; sleep 0.1; done
echo "the editor was started with:"
python3 - "$WINEPREFIX/drive_c/vlx-editor.log" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
at = 0
while at + 4 <= len(data):
    (n,) = struct.unpack_from("<I", data, at)
    module, job, line = data[at + 4 : at + 4 + n].decode("utf-8").split("\n", 2)
    print("  " + line)
    at += 4 + n
PY
pdf=$(python3 - "$WINEPREFIX/drive_c/vlx-editor.log" <<'PY'
import re, struct, sys
data = open(sys.argv[1], "rb").read()
(n,) = struct.unpack_from("<I", data, 0)
print(re.findall(r'"([^"]*\.pdf)"$', data[4 : 4 + n].decode("utf-8"))[0])
PY
)
if cmp -s samples/hello.pdf "$("$WINE" winepath -u "$pdf" 2>/dev/null </dev/null)"; then
  echo "  its temporary file is byte for byte samples/hello.pdf"
else
  echo "  its temporary file differs from samples/hello.pdf" >&2
  exit 1
fi
# ---- end of the editor block ---------------------------------------------------

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
