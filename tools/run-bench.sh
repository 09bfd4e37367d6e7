#!/usr/bin/env bash
# Runs every benchmark and prints one table: each figure next to its
# comparison, the ratio and the target. Native figures come from an optimised
# build without sanitizers (build/bench); the wine64 ones from build/win64
# (tools/build-all.sh). Ratios are taken within this one run: the machine may
# be shared, so absolute figures swing.
#   tools/run-bench.sh [runs]    (runs of each end-to-end case, default 5)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DVLX_BENCHMARKS=ON -DVLX_TESTS=OFF >/dev/null
cmake --build build/bench --target alloc_bench open_pdf_bench -j"$(nproc)" >/dev/null
rows=()
row() { rows+=("$(printf '| %s | %s | %s | %s | %s |' "$@")"); }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2fx", a / b; else print "-" }'; }

# The native "openPDF" path, MiB of PDF per second (median of 3, processor time).
native=$(build/bench/bin/open_pdf_bench --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null | grep '_median"')
for size in "16 1" "16 8" "64 1" "64 8"; do
  set -- $size
  path=$(echo "$native" | grep "OpenPdfPath/pdf_MiB:$1/piece_MiB:$2/" | cut -d, -f6)
  frames=$(echo "$native" | grep "FramesOnly/pdf_MiB:$1/piece_MiB:$2/" | cut -d, -f6)
  mibs() { awk -v b="$1" 'BEGIN { printf "%.0f", b / 1048576 }'; }
  row "native openPDF path, $1 MiB PDF in $2 MiB pieces" "$(mibs "$path") MiB/s" \
    "frames read+parsed only: $(mibs "$frames") MiB/s" "$(ratio "$frames" "$path") of the time" ">= 500 MiB/s"
done

# The allocator: ns per pair and per batch operation next to the design's floor.
alloc=$(build/bench/bin/alloc_bench --benchmark_filter='/dmem' 2>/dev/null | sed -n '/^case/,$p')
get() { echo "$alloc" | awk -v c="$1" '$1 == c { print $2 }'; }
floor=$(get Floor) pair=$(get Pair) batch=$(get Batch) handoff=$(get Handoff)
half=$(awk -v f="$floor" 'BEGIN { printf "%.1f", f / 2 }')
row "allocator alloc/free pair" "$pair ns" "floor (lock + 2 CAS): $floor ns" "$(ratio "$pair" "$floor")" "<= 1.3x"
row "allocator batch, per operation" "$batch ns" "floor per operation: $half ns" "$(ratio "$batch" "$half")" "<= 1.3x"
row "allocator cross-thread handoff" "$handoff ns" "-" "-" "not worse"

# Under wine64: openPDF end to end and the host's peak working set.
if [ -x build/win64/bin/open_pdf_e2e_win.exe ]; then
  source tools/wine-env.sh
  vlx_wine_start
  while read -r action mib piece host_ms host_peak minimal_ms minimal_peak; do
    row "wine64 $action, $mib MiB in $piece MiB pieces, to the editor's start" "$host_ms ms" \
      "minimal host: $minimal_ms ms" "$(ratio "$host_ms" "$minimal_ms")" "<= 1.2x"
    row "wine64 $action $mib MiB: host peak working set" "$host_peak MiB" \
      "the document: $mib MiB (minimal host: $minimal_peak MiB)" "$(ratio "$host_peak" "$mib")" "<= 1.5x"
  done < <(bench/open_pdf_e2e.sh "$runs")
  while read -r program ms _; do
    case $program in
      VellumixBrowserHost.exe) host=$ms ;;
      bare_echo.exe) echo_ms=$ms ;;
    esac
  done < <(bench/exchange_time.sh 10)
  row "wine64 start to exit of one actGetVersion" "$host ms" "bare echo: $echo_ms ms" \
    "$(ratio "$host" "$echo_ms")" "<= 1.15x"
fi

echo "| figure | measured | comparison | ratio | target |"
echo "|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
