#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev clang-format pkg-config
          libgtest-dev libgmock-dev libbenchmark-dev libssl-dev openssl libsqlite3-dev
          zlib1g-dev qt6-base-dev liblnk-utils wine wine64 xvfb xauth librnp-dev gnupg fonts-dejavu-core)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd=sudo
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
