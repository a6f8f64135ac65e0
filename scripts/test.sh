#!/usr/bin/env bash
# Sets up, builds and runs every test: the host build, the same suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer, and the target build of the firmware.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
jobs=$(nproc)

echo "== host build and tests"
cmake -S . -B build -DVMOD_WERROR=ON > /dev/null
cmake --build build -j "$jobs"
ctest --test-dir build -j "$jobs" --output-on-failure

echo "== sanitizer build and tests"
cmake -S . -B build-asan -DVMOD_WERROR=ON -DVMOD_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug > /dev/null
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=0 ctest --test-dir build-asan -j "$jobs" --output-on-failure

echo "== firmware target build (arm-none-eabi, ARM920T)"
cmake -S . -B build-arm -DVMOD_WERROR=ON -DCMAKE_TOOLCHAIN_FILE=cmake/arm-none-eabi.cmake \
  -DCMAKE_BUILD_TYPE=MinSizeRel > /dev/null
cmake --build build-arm -j "$jobs"
ctest --test-dir build-arm --output-on-failure

echo "== fuzz targets (clang, libFuzzer), a short run each"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DVMOD_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build-fuzz -j "$jobs" --target fuzz-all
ctest --test-dir build-fuzz -R '^fuzz/' -j "$jobs" --output-on-failure
# The whole-firmware command target's rate and the dispatch-chain entries its run reached.
grep -h '^command fuzz:' build-fuzz/Testing/Temporary/LastTest.log || true
