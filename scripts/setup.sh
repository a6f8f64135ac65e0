#!/usr/bin/env bash
# Installs what building and testing vmod needs on a fresh Debian machine (run as root).
# Installs nothing when everything is already there. "setup.sh run" installs only what
# building and running the virtual module needs (scripts/run-sim.sh), not the test peers and
# the cross toolchain.
set -euo pipefail
# Configuring the project needs the test and benchmark libraries even when only the virtual
# module is built.
run_packages=(
  cmake make g++ pkg-config
  libgtest-dev libbenchmark-dev
  libfreetype-dev libpng-dev fonts-liberation fonts-dejavu-core
  libcli11-dev nlohmann-json3-dev libcpp-httplib-dev
)
test_packages=(
  clang
  gcc-arm-none-eabi libstdc++-arm-none-eabi-newlib libnewlib-arm-none-eabi picolibc-arm-none-eabi
  dosfstools mtools fdisk python3 python3-pil python3-serial socat
  chromium chromium-driver python3-selenium
)
# Installed without their recommendations (a GUI and firmware images nobody here needs).
lean=()
packages=("${run_packages[@]}")
if [ "${1:-}" != run ]; then
  packages+=("${test_packages[@]}")
  lean+=(qemu-system-arm)
fi
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
