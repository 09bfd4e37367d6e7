#!/usr/bin/env bash
# What a browser on this Linux machine starts as the native host: the Windows
# host (VLX_HOST_PROGRAM in VLX_BIN, the host by default) under wine64, in the
# run's WINEPREFIX, behind pipe_bridge.exe, which gives it the Windows pipes it
# needs. --close passes the browser's disconnect on as the end of the host's
# input. exec: browsers signal the process they started. The browser's
# arguments (origin, manifest, add-on id) are not passed on: the host reads none.
set -eu
: "${WINEPREFIX:?the run sets WINEPREFIX}" "${VLX_BIN:?the run sets VLX_BIN}"
source "$(dirname "$(readlink -f "$0")")/../wine-env.sh"
exec "$WINE" "$VLX_BIN/pipe_bridge.exe" --close "$VLX_BIN/${VLX_HOST_PROGRAM:-VellumixBrowserHost.exe}"
