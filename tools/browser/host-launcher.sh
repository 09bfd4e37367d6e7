#!/usr/bin/env bash
# What a browser on this Linux machine starts as the native host: the Windows
# host (VLX_HOST_PROGRAM in VLX_BIN, the host by default) under wine64, in the
# run's WINEPREFIX, behind pipe_bridge.exe, which gives it the Windows pipes it
# needs. --close passes the browser's disconnect on as the end of the host's
# input. exec: browsers signal the process they started. The browser's
# arguments (origin, manifest, add-on id) go on to the host, which ignores them.
# VLX_CONVERTER_STEP_FILE names a file that holds the converter's step delay
# for the hosts started from now on (a test slows down one scenario's).
set -eu
: "${WINEPREFIX:?the run sets WINEPREFIX}" "${VLX_BIN:?the run sets VLX_BIN}"
source "$(dirname "$(readlink -f "$0")")/../wine-env.sh"
if [ -n "${VLX_CONVERTER_STEP_FILE:-}" ]; then
  export VLX_CONVERTER_STEP_MS="$(cat "$VLX_CONVERTER_STEP_FILE" 2>/dev/null || echo 0)"
fi
exec "$WINE" "$VLX_BIN/pipe_bridge.exe" --close "$VLX_BIN/${VLX_HOST_PROGRAM:-VellumixBrowserHost.exe}" "$@"
