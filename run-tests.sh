#!/usr/bin/env bash
# Builds the three configurations and runs every test: the native ones under
# AddressSanitizer and UndefinedBehaviorSanitizer (the allocator's own also
# under ThreadSanitizer), the Windows ones (the same
# portable tests, the Win32 units and the end-to-end tests of the real host
# program) under wine64. Prints CTest's summary; exits non-zero on a failure.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
tools/build-all.sh

status=0
echo "== native tests (ASan, UBSan)"
ctest --test-dir build/native --output-on-failure -j"$(nproc)" || status=1

echo "== allocator tests (ThreadSanitizer)"
ctest --test-dir build/tsan --output-on-failure -j"$(nproc)" || status=1

echo "== Windows tests under wine64"
source tools/wine-env.sh
vlx_wine_start
ctest --test-dir build/win64 --output-on-failure -j"$(nproc)" 2>/dev/null || status=1
exit $status
