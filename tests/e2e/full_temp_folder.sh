#!/usr/bin/env bash
# Runs the full-temporary-folder case of editor_e2e_tests with TMP on a
# 96 KiB tmpfs. Mounting needs root: otherwise the case is skipped (77).
# Usage: full_temp_folder.sh <editor_e2e_tests.exe> <wine runner>
set -euo pipefail
[ "$(id -u)" = 0 ] || { echo "not root: no tmpfs to fill, skipped"; exit 77; }
folder=$(mktemp -d)
trap 'umount "$folder" 2>/dev/null || true; rmdir "$folder"' EXIT
mount -t tmpfs -o size=96k tmpfs "$folder" || { echo "mount failed, skipped"; exit 77; }
VLX_FULL_TEMP="Z:${folder//\//\\}" "$2" "$1" --gtest_filter='*AFullTempFolder*'
