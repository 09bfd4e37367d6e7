#!/usr/bin/env bash
# Start-to-exit time of one "actGetVersion" exchange with the Windows host
# under wine64, next to a bare echo program started the same way, in one run.
# The programs take turns in every round, so a change in the machine's load
# touches all of them alike; the figure is the median over the rounds of each
# program's time divided by the echo's in the same round.
# Usage: bench/exchange_time.sh [runs] [more programs to time...]   (after tools/build-all.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}
shift || true
source tools/wine-env.sh
vlx_wine_start
bin=build/win64/bin
programs=("$bin/VellumixBrowserHost.exe" "$@" "$bin/bare_echo.exe")
times=$(mktemp -d)
request=$times/request
echo '{"action":"actGetVersion"}' | tools/frames.py encode >"$request"
exchange() {
  "$WINE" "$bin/pipe_bridge.exe" --preload "$1" <"$request" >/dev/null 2>&1 ||
    echo "$(basename "$1") failed (exit $?)" >&2
}
for program in "${programs[@]}"; do exchange "$program"; done  # warm
for ((i = 0; i < runs; i++)); do
  for p in "${!programs[@]}"; do
    start=$(date +%s%N)
    exchange "${programs[$p]}"
    echo $(($(date +%s%N) - start)) >>"$times/$p"
  done
done
median() { sort -g | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
echo_times=$times/$((${#programs[@]} - 1))
printf '%-34s %10s %10s %8s\n' program "median ms" "mean ms" "÷ echo"
for p in "${!programs[@]}"; do
  printf '%-34s %10.1f %10.1f %8.2f\n' "$(basename "${programs[$p]}")" \
    "$(awk '{ print $1 / 1e6 }' "$times/$p" | median)" \
    "$(awk '{ t += $1 } END { print t / NR / 1e6 }' "$times/$p")" \
    "$(paste "$times/$p" "$echo_times" | awk '{ print $1 / $2 }' | median)"
done
echo "($runs rounds, bridge start included; target for the host: at most 1.15 x the echo)"
rm -rf "$times"
