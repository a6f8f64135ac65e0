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
# Installed without their recommendations (a GUI and firmware images nobody here needs).
lean=(qemu-system-arm)
missing_of() {
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}
mapfile -t missing < <(missing_of "${packages[@]}")
mapfile -t lean_missing < <(missing_of "${lean[@]}")
if [ ${#missing[@]} -gt 0 ] || [ ${#lean_missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]} ${lean_missing[*]}"
  apt-get update -qq
  if [ ${#missing[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
  fi
  if [ ${#lean_missing[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${lean_missing[@]}"
  fi
fi
