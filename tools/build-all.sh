#!/usr/bin/env bash
# Configures and builds every configuration of CMakePresets.json in build/:
#   native  the portable core and its tests under ASan and UBSan
#   tsan    the allocator's own tests under ThreadSanitizer
#   win64   x86_64-w64-mingw32: the same sources, run under wine64 by the tests
#   win32   i686-w64-mingw32: the shipped 32-bit program
#   fuzz    clang: libFuzzer targets over the pipe's bytes (ASan, UBSan)
# Arguments name the presets to build (all five without).
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
presets=("$@")
((${#presets[@]})) || presets=(native fuzz tsan win64 win32)
for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$jobs"
done
