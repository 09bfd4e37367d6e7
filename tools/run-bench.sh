#!/usr/bin/env bash
# Runs the allocator benchmarks: natively (an optimised build without
# sanitizers in build/bench, next to glibc malloc, mimalloc and jemalloc) and
# the single-thread cases under wine64 next to HeapAlloc (build/win64 from
# tools/build-all.sh). Extra arguments go to the native benchmark program.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DVLX_BENCHMARKS=ON -DVLX_TESTS=OFF >/dev/null
cmake --build build/bench --target alloc_bench -j"$(nproc)" >/dev/null
echo "== native"
build/bench/bin/alloc_bench "$@"
if [ -x build/win64/bin/alloc_bench_win.exe ]; then
  echo "== wine64"
  source tools/wine-env.sh
  vlx_wine_start
  "$WINE" build/win64/bin/alloc_bench_win.exe 2>/dev/null
fi
