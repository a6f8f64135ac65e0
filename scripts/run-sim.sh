#!/usr/bin/env bash
# Sets up, builds what the virtual module needs (the firmware module, vmod-sim, the tools and
# the demo image; an existing build is reused) and starts it. Without arguments the command
# port is a pseudo-terminal, linked at a fixed name in the state folder, and the web panel
# listens on 127.0.0.1:$VMOD_WEB (8640 unless set; VMOD_WEB=off leaves it out); any arguments
# go to vmod-sim instead (see ./build/sim/vmod-sim --help).
#
# The state folder (the module's EEPROM, Data Flash and SD card) is $VMOD_STATE, by default
# ~/.local/state/vmod (or $XDG_STATE_HOME/vmod), outside the source tree, or the folder of a
# --state argument. A state folder without any of the media gets the demo on its SD card; one
# that has media is left as it is.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh run
if [ ! -f build/CMakeCache.txt ]; then
  echo "Configuring the build in build/ (once)"
  cmake -S . -B build > /dev/null
fi
if ! cmake --build build -j "$(nproc)" --target vmod-sim vmod-image vmodctl vmod_demo > build/run-sim-build.log 2>&1; then
  cat build/run-sim-build.log
  exit 1
fi
state=${VMOD_STATE:-${XDG_STATE_HOME:-$HOME/.local/state}/vmod}
web=${VMOD_WEB:-8640}
given_state=
script=
prev=
for a in "$@"; do
  if [ "$prev" = --state ]; then given_state=$a; fi
  if [[ "$a" == --state=* ]]; then given_state=${a#--state=}; fi
  if [ "$a" = --script ] || [[ "$a" == --script=* ]]; then script=yes web=off; fi
  if [ "$a" = --web ] || [[ "$a" == --web=* ]]; then web=off; fi
  prev=$a
done
if [ $# -eq 0 ]; then
  set -- --port0 "pty:$state/port0"
  echo "vmod-sim: state folder $state; host programs open $state/port0"
fi
if [ "$web" != off ]; then set -- "$@" --web "$web"; fi
if [ -n "$given_state" ]; then state=$given_state; fi
mkdir -p "$state"
if [ -z "$script" ] && [ ! -e "$state/sdcard.img" ] && [ ! -e "$state/eeprom.bin" ] && [ ! -e "$state/dataflash.bin" ]; then
  if ./build/sim/vmod-sim --state "$state" --script build/demo/card.scn; then
    echo "vmod-sim: a fresh state: the demo is on its SD card (VMOD.BIN and RUNDEMO.INI)"
  fi
fi
if [ -n "$given_state" ]; then exec ./build/sim/vmod-sim "$@"; fi
exec ./build/sim/vmod-sim --state "$state" "$@"
