#!/bin/sh
# Runs a Windows test program under wine64 in the prefix that tools/wine-env.sh prepared.
start=$(date +%s.%N)
/usr/lib/wine/wine64 "$@"
rc=$?
[ $rc -ne 0 ] && echo "rc=$rc start=$start end=$(date +%s.%N) $*" >> /tmp/wine-rc.log
exit $rc
