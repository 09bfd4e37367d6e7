#!/usr/bin/env bash
# Runs a command with what a browser needs to start the host: a Wine prefix of
# its own (tools/wine-env.sh; its server and every Windows program in it are
# stopped at the end), the stand-in editor installed and registered where the
# host looks and logging to C:\vlx-editor.log, and VLX_BIN naming the folder
# of the Windows programs (host-launcher.sh starts them from there).
#
#   with-host.sh BIN_DIR command [arguments...]
set -euo pipefail
export VLX_BIN
VLX_BIN=$(readlink -f "$1")
shift
source "$(dirname "$(readlink -f "$0")")/../wine-env.sh"
vlx_wine_start
vlx_install_editor "$VLX_BIN"
"$@"
