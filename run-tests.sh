#!/usr/bin/env bash
# Builds the five configurations (tools/build-all.sh) and runs every test: the
# native ones under AddressSanitizer and UndefinedBehaviorSanitizer (the
# allocator's own also under ThreadSanitizer), the fuzzer for a while, the
# static analysis (tools/clang-tidy.sh), and the Windows ones (the same
# portable tests, the Win32 units and the end-to-end tests of the real host
# program) under wine64. Prints CTest's summary; exits
# non-zero on a failure. This is what CI runs.
#
#   ./run-tests.sh --quick   builds and runs the native tests alone: no
#                            package install, no Wine, no fuzzing.
set -euo pipefail
cd "$(dirname "$0")"
if [ "${1:-}" = --quick ]; then
  tools/build-all.sh native
  exec ctest --preset native -j"$(nproc)"
fi
tools/install-deps.sh
tools/build-all.sh

status=0
export UBSAN_OPTIONS="suppressions=$PWD/tests/ubsan.supp:halt_on_error=1:print_stacktrace=1"
echo "== native tests (ASan, UBSan)"
logs=$(mktemp -d)
ctest --test-dir build/native --output-on-failure -j"$(nproc)" | tee "$logs/native" || status=1

echo "== fuzzing the host's input for ${VLX_FUZZ_SECONDS:=20} s (libFuzzer, ASan, UBSan)"
corpus=$(mktemp -d)
ASAN_OPTIONS=max_allocation_size_mb=64:allocator_may_return_null=1 \
  build/fuzz/bin/host_input_fuzzer -max_total_time="$VLX_FUZZ_SECONDS" -artifact_prefix="$corpus/" \
  "$corpus" tests/fuzz/corpus >"$corpus.log" 2>&1 || { status=1; tail -40 "$corpus.log"; }
tail -1 "$corpus.log"
rm -rf "$corpus" "$corpus.log"

echo "== fuzzing the text helpers for ${VLX_FUZZ_HELPER_SECONDS:=4} s each (oracles, ASan, UBSan)"
for target in url_escape url_unescape positional_format safe_file_name argv_escape ansi_arguments \
              converter_args base64; do
  corpus=$(mktemp -d)
  build/fuzz/bin/${target}_fuzzer -max_total_time="$VLX_FUZZ_HELPER_SECONDS" \
    -artifact_prefix="$corpus/" "$corpus" "tests/fuzz/seeds/$target" >"$corpus.log" 2>&1 ||
    { status=1; tail -40 "$corpus.log"; }
  echo "$target: $(grep -o 'Done [0-9]* runs' "$corpus.log")"
  rm -rf "$corpus" "$corpus.log"
done

echo "== static analysis (tools/clang-tidy.sh: .clang-tidy's checks over the native and fuzz builds)"
tools/clang-tidy.sh "$(nproc)" || status=1

echo "== allocator tests (ThreadSanitizer)"
ctest --test-dir build/tsan --output-on-failure -j"$(nproc)" | tee "$logs/tsan" || status=1

echo "== the shipped programs' form (tools/check-pe.sh), signing and a second build"
lazy=user32.dll,shell32.dll,ole32.dll,wintrust.dll
# Prints the verdict line, or every line when a check fails.
check_pe() {
  local out
  if out=$(tools/check-pe.sh --lazy $lazy "$@"); then echo "${out##*$'\n'}"; else echo "$out"; status=1; fi
}
check_pe build/win32/bin/VellumixBrowserHost.exe
check_pe build/win64/bin/VellumixBrowserHost.exe
signing=$(mktemp -d)
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=Vellumix throwaway signing" \
  -keyout "$signing/key.pem" -out "$signing/cert.pem" 2>/dev/null
cp build/win32/bin/VellumixBrowserHost.exe "$signing/"
VLX_SIGN_CERT="$signing/cert.pem" VLX_SIGN_KEY="$signing/key.pem" \
  tools/sign.sh "$signing/VellumixBrowserHost.exe" >/dev/null || status=1
check_pe --signed --ca "$signing/cert.pem" "$signing/VellumixBrowserHost.exe"
msi=$(ls build/win32/packaging/VellumixBrowserHost-*-x86.msi | head -1)
cp "$msi" "$signing/host.msi"
VLX_SIGN_CERT="$signing/cert.pem" VLX_SIGN_KEY="$signing/key.pem" \
  tools/sign.sh "$signing/host.msi" "Vellumix browser host installer" >/dev/null || status=1
if osslsigncode verify -CAfile "$signing/cert.pem" -in "$signing/host.msi" >/dev/null 2>&1; then
  echo "installer signature: verified"
else
  echo "installer signature: NOT verified"; status=1
fi
rm -rf "$signing"
tools/check-repro.sh build/win32 || status=1

echo "== Windows tests under wine64"
source tools/wine-env.sh
vlx_wine_start
ctest --test-dir build/win64 --output-on-failure -j"$(nproc)" 2>/dev/null | tee "$logs/win64" ||
  status=1

# One closing line for all the runs: "N passed, N failed".
awk '/tests passed, .* tests failed out of/ { failed += $4; total += $NF }
     END { printf "all tests: %d passed, %d failed\n", total - failed, failed }' "$logs"/*
rm -rf "$logs"
exit $status
