#!/bin/sh
# Runs a Windows test program under wine64 in the prefix that tools/wine-env.sh prepared.
exec /usr/lib/wine/wine64 "$@"
