#!/usr/bin/env bash
# Builds the shipped i686 program a second time, from a copy of the sources in
# another folder and without ccache, and compares it byte for byte with the
# one in the given build folder (default build/win32). Exits non-zero when
# they differ.
# Usage: tools/check-repro.sh [build-folder]   (VLX_REPRO_KEEP=1 keeps the second build)
set -euo pipefail
cd "$(dirname "$0")/.."
first=${1:-build/win32}
scratch=$(mktemp -d)
[ -n "${VLX_REPRO_KEEP:-}" ] || trap 'rm -rf "$scratch"' EXIT
git ls-files -z | xargs -0 cp --parents -t "$scratch" 2>/dev/null ||
  tar --exclude=./build -cf - . | tar -xf - -C "$scratch"
env -u CMAKE_C_COMPILER_LAUNCHER -u CMAKE_CXX_COMPILER_LAUNCHER \
  cmake -S "$scratch" -B "$scratch/out" -DCMAKE_BUILD_TYPE=Release -DVLX_TESTS=OFF \
  -DCMAKE_TOOLCHAIN_FILE="$scratch/cmake/toolchain-i686-mingw.cmake" >/dev/null
cmake --build "$scratch/out" --target VellumixBrowserHost -j"$(nproc)" >/dev/null
status=0
for file in VellumixBrowserHost.exe VellumixBrowserHost.exe.debug; do
  if cmp -s "$first/bin/$file" "$scratch/out/bin/$file"; then
    echo "reproducible: $file ($(stat -c %s "$first/bin/$file") bytes, sha256 $(sha256sum <"$first/bin/$file" | cut -c1-16))"
  else
    echo "NOT reproducible: $file differs between $first and a second build:"
    cmp -l "$first/bin/$file" "$scratch/out/bin/$file" | head -5 || true
    status=1
  fi
done
exit $status
