#!/usr/bin/env bash
# Sets up, builds what the virtual module needs (the firmware module, vmod-sim and the tools;
# an existing build is reused) and starts it. Without arguments the command port is a
# pseudo-terminal, linked at a fixed name in the state folder; any arguments go to vmod-sim
# instead (see ./build/sim/vmod-sim --help).
#
# The state folder (the module's EEPROM, Data Flash and SD card) is $VMOD_STATE, by default
# ~/.local/state/vmod (or $XDG_STATE_HOME/vmod), outside the source tree.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh run
if [ ! -f build/CMakeCache.txt ]; then
  echo "Configuring the build in build/ (once)"
  cmake -S . -B build > /dev/null
fi
if ! cmake --build build -j "$(nproc)" --target vmod-sim vmod-image vmodctl > build/run-sim-build.log 2>&1; then
  cat build/run-sim-build.log
  exit 1
fi
state=${VMOD_STATE:-${XDG_STATE_HOME:-$HOME/.local/state}/vmod}
mkdir -p "$state"
if [ $# -eq 0 ]; then
  set -- --port0 "pty:$state/port0"
  echo "vmod-sim: state folder $state; host programs open $state/port0"
fi
for a in "$@"; do
  if [ "$a" = --state ] || [[ "$a" == --state=* ]]; then exec ./build/sim/vmod-sim "$@"; fi
done
exec ./build/sim/vmod-sim --state "$state" "$@"
