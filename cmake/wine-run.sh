#!/bin/sh
# Runs a Windows test program under wine64 in the prefix that tools/wine-env.sh prepared.
# Now and then (in two of sixteen runs of the suite here) wine64 ends within a few
# milliseconds, with a failing status and no output, before the program has
# run at all. A Windows program takes far longer to start under Wine, so such
# an end is Wine's, not the test's: say so and start the program once more.
start=$(date +%s%N)
/usr/lib/wine/wine64 "$@"
status=$?
elapsed_ms=$((($(date +%s%N) - start) / 1000000))
if [ "$status" -ne 0 ] && [ "$elapsed_ms" -lt 60 ]; then
  echo "wine-run: wine64 ended after $elapsed_ms ms with status $status before the program ran; starting it again" >&2
  exec /usr/lib/wine/wine64 "$@"
fi
exit "$status"
