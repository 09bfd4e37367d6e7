#!/usr/bin/env bash
# Start-to-exit time of one "actGetVersion" exchange with the Windows host
# under wine64, next to a bare echo program started the same way, in one run.
# Usage: bench/exchange_time.sh [runs]   (after tools/build-all.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}
source tools/wine-env.sh
vlx_wine_start
bin=build/win64/bin
request=$(mktemp)
echo '{"action":"actGetVersion"}' | tools/frames.py encode >"$request"
measure() {
  local program=$1 start end total=0
  "$WINE" "$bin/pipe_bridge.exe" --preload "$bin/$program" <"$request" >/dev/null 2>&1  # warm
  for ((i = 0; i < runs; i++)); do
    start=$(date +%s%N)
    "$WINE" "$bin/pipe_bridge.exe" --preload "$bin/$program" <"$request" >/dev/null 2>/dev/null
    end=$(date +%s%N)
    total=$((total + end - start))
  done
  printf '%-26s %6.1f ms per exchange (mean of %d, bridge start included)\n' \
    "$program" "$(awk -v t="$total" -v r="$runs" 'BEGIN { print t / r / 1e6 }')" "$runs"
}
measure VellumixBrowserHost.exe
measure bare_echo.exe
rm -f "$request"
