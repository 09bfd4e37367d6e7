#!/usr/bin/env bash
# Installs what the builds and tests need from Debian's packages. Quick when
# everything is there already. wine64 only: the i386 architecture is not added
# (32-bit code cannot run on these machines).
set -euo pipefail
packages=(cmake make g++ clang clang-tidy libclang-rt-14-dev python3 googletest libgtest-dev libbenchmark-dev rapidjson-dev
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64
          poppler-utils libmimalloc-dev libjemalloc-dev coreutils wixl msitools
          chromium firefox-esr osslsigncode openssl nodejs)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  sudo=""; [ "$(id -u)" = 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get -o DPkg::Lock::Timeout=600 update -q </dev/null
  $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${missing[@]}" </dev/null
fi
