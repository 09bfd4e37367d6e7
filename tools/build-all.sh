#!/usr/bin/env bash
# Configures and builds every configuration in build/:
#   native  the portable core and its tests under ASan and UBSan
#   tsan    the allocator's own tests under ThreadSanitizer
#   win64   x86_64-w64-mingw32: the same sources, run under wine64 by the tests
#   win32   i686-w64-mingw32: the shipped 32-bit program
#   fuzz    clang: libFuzzer targets over the pipe's bytes (ASan, UBSan)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=Debug -DVLX_SANITIZE=address,undefined \
  -DVLX_BENCHMARKS=ON >/dev/null
cmake --build build/native -j"$jobs"
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVLX_SANITIZE=address,undefined -DVLX_FUZZERS=ON -DVLX_TESTS=OFF >/dev/null
cmake --build build/fuzz -j"$jobs"
cmake -S . -B build/tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVLX_SANITIZE=thread \
  -DVLX_ALLOC_TESTS_ONLY=ON >/dev/null
cmake --build build/tsan --target alloc_tests -j"$jobs"
for arch in win64:x86_64 win32:i686; do
  dir=${arch%%:*} triple=${arch##*:}
  cmake -S . -B build/$dir -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/toolchain-$triple-mingw.cmake" >/dev/null
  cmake --build build/$dir -j"$jobs"
done
