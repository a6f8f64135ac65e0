#!/usr/bin/env bash
# Sets up, builds and starts the virtual module. Without arguments the command port is a
# pseudo-terminal whose path is printed; any arguments go to vmod-sim (see --help).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build > /dev/null
cmake --build build -j "$(nproc)"
exec ./build/sim/vmod-sim "$@"
