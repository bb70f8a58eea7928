#!/usr/bin/env bash
# Builds the tool and starts it against the meter simulator: the simulator plays the meter on a
# pseudo-terminal, and the tool's Com1 is mapped to it in a private settings location (your own
# settings are not touched). The simulator stops when the tool exits.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAV_BUILD_TESTS=OFF >/dev/null
cmake --build build

source scripts/sim.sh
work=$(mktemp -d)
cleanup() {
  stop_sim
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME/ZAV"

sim=build/tools/zav-meter-sim/zav-meter-sim
if [ -x "$sim" ]; then
  start_sim "$work" "$@" || exit 1
  printf '[Ports]\nCom1=%s\n' "$device" >"$XDG_CONFIG_HOME/ZAV/Instrument Interface.ini"
  echo "Meter simulator on $device (Com1)."
else
  echo "No meter simulator built: the tool starts without a meter (work offline)."
fi

app=build/src/app/zav-interface
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: running under Xvfb, a virtual display (nothing appears on screen)."
  xvfb-run -a "$app"
else
  "$app"
fi
