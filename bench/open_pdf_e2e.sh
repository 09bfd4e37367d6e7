#!/usr/bin/env bash
# "openPDF" end to end under wine64 (build/win64 from tools/build-all.sh): the
# host next to bench/minimal_host.cc over the same frames, plus the host's peak
# working set. The host runs from a folder of its own with the stand-in editor
# registered, and without a converter, so a chunked "MHTMLoPDF" stops after
# writing its page (its peak memory is what is measured there).
# Prints one line per case: action MiB piece_MiB host_ms host_peak_MiB minimal_ms
# VLX_BENCH_HOST names another host program to measure (an older build).
# Usage: bench/open_pdf_e2e.sh [runs] [cases...]   (in the caller's Wine prefix
# when it has one, else in its own); a case is "action MiB piece_MiB".
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
bin=build/win64/bin
prefix=${WINEPREFIX:-}
source tools/wine-env.sh
[ -n "$prefix" ] || vlx_wine_start
work=$(mktemp -d /tmp/vlx-e2e-bench.XXXXXX)
cp "${VLX_BENCH_HOST:-$bin/VellumixBrowserHost.exe}" "$work/VellumixBrowserHost.exe"
cp "$bin/VLXEditor.exe" "$bin/minimal_host.exe" "$work/"
win() { echo "Z:${1//\//\\}"; }
"$WINE" reg add 'HKLM\SOFTWARE\Vellumix\PDFEditor' /v InstallPath /t REG_SZ /d "$(win "$work")\\" /f \
  >/dev/null 2>&1 </dev/null
export VLX_EDITOR_LOG="$(win "$work")\\editor.log"
# The temporary folder on the prefix's C: drive, a local disk as %TEMP% is on
# Windows (a volume Wine cannot name would make each close flush to disk).
temp='C:\vlx-e2e-bench-temp'
driver() {
  "$WINE" "$bin/open_pdf_e2e_win.exe" "$(win "$work")\\VellumixBrowserHost.exe" \
    "$(win "$work")\\minimal_host.exe" "$@" "$temp" </dev/null 2>/dev/null
}
shift $(($# > 0 ? 1 : 0))
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=("openPDF 16 1" "openPDF 16 8" "openPDF 64 1" "openPDF 64 8"
                                 "openPDF 256 8" "MHTMLoPDF 64 8")
for case in "${cases[@]}"; do
  set -- $case
  n=$runs
  [ "$2" -ge 256 ] && n=$(( (runs + 1) / 2 ))
  echo "$1 $2 $3 $(driver "$1" "$2" "$3" "$n")"
done
rm -rf "$work"
