#!/usr/bin/env bash
# Installs what building and testing vmod needs on a fresh Debian machine (run as root).
# Installs nothing when everything is already there.
set -euo pipefail
packages=(
  cmake make g++ clang pkg-config
  libgtest-dev libbenchmark-dev
  libfreetype-dev libpng-dev fonts-liberation fonts-dejavu-core
  libcli11-dev nlohmann-json3-dev libcpp-httplib-dev
  gcc-arm-none-eabi libstdc++-arm-none-eabi-newlib libnewlib-arm-none-eabi picolibc-arm-none-eabi
  dosfstools mtools fdisk python3 python3-pil
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi
