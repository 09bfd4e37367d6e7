#!/usr/bin/env bash
# Tries the host in a real browser: builds the x86_64 programs, then opens
# Chromium (headless, driven through its DevTools pipe) with the test
# extension loaded and the host registered as com.vellumix.browser_host, in a
# Wine prefix of its own with the stand-in editor. Reads steps for the
# extension, one JSON object per line, and prints what the extension received:
#
#   echo '{"kind": "send", "message": {"action": "actGetVersion"}}' | tools/chromium-dev.sh
#
# Pages in samples/ are served on 127.0.0.1 (the address is printed).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/win64 -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-x86_64-mingw.cmake" >/dev/null
cmake --build build/win64 -j"$(nproc)" --target VellumixBrowserHost pipe_bridge vlx_editor VereZeDid2Uza.x86 >/dev/null
tools/browser/with-host.sh build/win64/bin python3 tools/browser/browsers.py chromium
