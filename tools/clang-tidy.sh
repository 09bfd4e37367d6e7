#!/usr/bin/env bash
# Static analysis: Debian's clang-tidy with the checks of .clang-tidy over the
# project's own sources, each once: from the native build's
# compile_commands.json, and the fuzz targets from the fuzz build's (as
# libFuzzer compiles them). Not bench/: measurement programs, never shipped,
# whose Google Benchmark idioms (`for (auto _ : state)`, registrations that
# live to the end) are all the analyzer finds there. Any finding is an error:
# exits non-zero.
#   tools/clang-tidy.sh [jobs]     (2 by default; needs both builds)
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${1:-2}
own="^$PWD/((host|actions|launch|zevar|tools|diagnose)/|tests/(?!fuzz/)|tests/fuzz/replay_main)"
status=0
run-clang-tidy-14 -p build/native -j"$jobs" -quiet "$own" || status=1
run-clang-tidy-14 -p build/fuzz -j"$jobs" -quiet "^$PWD/tests/fuzz/" || status=1
exit $status
