#!/usr/bin/env bash
# Builds the shipped i686 program a second time, from a copy of the sources in
# another folder and without ccache, and compares it and its debug file byte
# for byte with those in the given build folder (default build/win32). A
# folder built through ccache cannot take part (ccache hands the compiler
# relative paths, which reach the debug file): then two copies are built.
# Exits non-zero when the builds differ.
# Usage: tools/check-repro.sh [build-folder]   (VLX_REPRO_KEEP=1 keeps the builds)
set -euo pipefail
cd "$(dirname "$0")/.."
first=${1:-build/win32}
scratch=$(mktemp -d)
[ -n "${VLX_REPRO_KEEP:-}" ] || trap 'rm -rf "$scratch"' EXIT

# Copies the sources to $1/src and builds the program in $1/out.
build_copy() {
  mkdir -p "$1/src"
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z | xargs -0 cp --parents -t "$1/src"
  else
    tar --exclude=./build -cf - . | tar -xf - -C "$1/src"
  fi
  env -u CMAKE_C_COMPILER_LAUNCHER -u CMAKE_CXX_COMPILER_LAUNCHER \
    cmake -S "$1/src" -B "$1/out" -DCMAKE_BUILD_TYPE=Release -DVLX_TESTS=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$1/src/cmake/toolchain-i686-mingw.cmake" >/dev/null
  cmake --build "$1/out" --target VellumixBrowserHost -j"$(nproc)" >/dev/null
}

if grep -q '^CMAKE_.*_COMPILER_LAUNCHER:.*=.' "$first/CMakeCache.txt"; then
  echo "($first was built through a compiler launcher: building two copies instead)"
  build_copy "$scratch/one"
  first=$scratch/one/out
fi
build_copy "$scratch/two"
status=0
for file in VellumixBrowserHost.exe VellumixBrowserHost.exe.debug; do
  if cmp -s "$first/bin/$file" "$scratch/two/out/bin/$file"; then
    echo "reproducible: $file ($(stat -c %s "$first/bin/$file") bytes, sha256 $(sha256sum <"$first/bin/$file" | cut -c1-16))"
  else
    echo "NOT reproducible: $file differs between $first and a second build:"
    cmp -l "$first/bin/$file" "$scratch/two/out/bin/$file" | head -5 || true
    status=1
  fi
done
exit $status
