#!/usr/bin/env bash
# Checks the form of a shipped Windows program and fails when any part breaks:
# imports only from system DLLs (none of the MinGW runtime DLLs), ASLR and DEP,
# the manifest (asInvoker, Common Controls 6), the version resource, no
# symbols or debug sections, Windows 7 (6.1) as subsystem version, large
# addresses for a 32-bit program, and a valid signature when it is signed.
# Usage: tools/check-pe.sh [--lazy dll,...] [--signed] [--ca cert.pem] [--version v] program.exe
#   --lazy    DLLs that must not be loaded at start (delay-loaded, or not used)
#   --signed  the program must carry a signature
#   --ca      the certificate the signature must lead to (default: the system's)
set -euo pipefail
lazy="" signed=0 ca="" version=11.1.1.0
while (($# > 1)); do
  case $1 in
    --lazy) lazy=$2; shift 2 ;;
    --signed) signed=1; shift ;;
    --ca) ca=$2; shift 2 ;;
    --version) version=$2; shift 2 ;;
    *) break ;;
  esac
done
exe=${1:?usage: check-pe.sh [options] program.exe}
failures=0
pass() { echo "ok    $*"; }
fail() { echo "FAIL  $*"; failures=$((failures + 1)); }

format=$(x86_64-w64-mingw32-objdump -f "$exe" | sed -n 's/.*file format //p')
case $format in
  pei-i386) triple=i686-w64-mingw32 ;;
  pei-x86-64) triple=x86_64-w64-mingw32 ;;
  *) echo "FAIL  $exe is not a Windows program ($format)"; exit 1 ;;
esac
headers=$($triple-objdump -p "$exe")
field() { awk -v name="$1" '$1 == name { print $2; exit }' <<<"$headers"; }

# System DLLs only; the MinGW runtime (libgcc, libstdc++, winpthread, libssp)
# must be linked in statically.
imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z')
system='^(kernel32|advapi32|msvcrt|user32|gdi32|shell32|ole32|oleaut32|comctl32|comdlg32|ntdll|rpcrt4|shlwapi|version|ws2_32|bcrypt|crypt32|secur32|userenv|winspool\.drv|uxtheme)\.dll$'
foreign=$(grep -Ev "$system" <<<"$imports" || true)
if [ -z "$foreign" ]; then pass "imports only system DLLs: $(echo $imports)"
else fail "imports non-system DLLs: $(echo $foreign)"; fi
for dll in ${lazy//,/ }; do
  if grep -qx "$(tr 'A-Z' 'a-z' <<<"$dll")" <<<"$imports"; then fail "$dll is loaded at start"
  else pass "$dll is not loaded at start"; fi
done

dll_flags=$((16#$(field DllCharacteristics)))
((dll_flags & 0x40)) && pass "DYNAMIC_BASE" || fail "DYNAMIC_BASE not set"
((dll_flags & 0x100)) && pass "NX_COMPAT" || fail "NX_COMPAT not set"
if [ "$triple" = i686-w64-mingw32 ]; then
  grep -q "large address aware" <<<"$headers" && pass "large address aware" ||
    fail "not large address aware"
fi

subsystem="$(field MajorSubsystemVersion).$(field MinorSubsystemVersion)"
[ "$subsystem" = 6.1 ] && pass "subsystem version 6.1" || fail "subsystem version $subsystem, not 6.1"

# Resources as windres prints them; the manifest's lines joined into one.
resources=$($triple-windres -i "$exe" -O rc 2>/dev/null || true)
manifest=$(awk '/ 24 \/\* RT_MANIFEST/ { on = 1; next } on && /^END/ { on = 0 } on' <<<"$resources" |
  sed -e 's/^ *"//' -e 's/\\n"$//' -e 's/""/"/g' | tr -s ' \n' '  ')
grep -q 'requestedExecutionLevel level="asInvoker"' <<<"$manifest" &&
  pass "manifest asks for asInvoker" || fail "manifest without asInvoker"
grep -Eq 'name="Microsoft.Windows.Common-Controls" version="6\.0\.0\.0"' <<<"$manifest" &&
  pass "manifest asks for Common Controls 6" || fail "manifest without Common Controls 6"
commas=${version//./, }
for key in FILEVERSION PRODUCTVERSION; do
  grep -q "^ *$key $commas\$" <<<"$resources" && pass "$key $version" || fail "$key is not $version"
done
for key in FileVersion ProductVersion; do
  grep -q "VALUE \"$key\", \"$version\"" <<<"$resources" && pass "$key text $version" ||
    fail "$key text is not $version"
done

debug_sections=$($triple-objdump -h "$exe" | awk '$2 ~ /^\.(debug|zdebug)/ { print $2 }')
symbols=$($triple-objdump -t "$exe" | grep -c '^\[' || true)
if [ -z "$debug_sections" ] && [ "$symbols" = 0 ]; then pass "stripped"
else fail "not stripped: $symbols symbols, sections: $(echo $debug_sections)"; fi

security=$(awk '/Security Directory/ { print $3; exit }' <<<"$headers")
if [ "$((16#${security:-0}))" != 0 ]; then
  if osslsigncode verify ${ca:+-CAfile "$ca"} -in "$exe" >/dev/null 2>&1; then pass "signature valid"
  else fail "signature does not verify"; fi
elif ((signed)); then fail "not signed"
else echo "--    not signed"; fi

if ((failures)); then echo "$exe: $failures check(s) failed"; exit 1; fi
echo "$exe: every check passed"
