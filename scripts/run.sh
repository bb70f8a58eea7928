#!/usr/bin/env bash
# Builds the tool and starts it against the meter simulator: the simulator plays the meter on a
# pseudo-terminal, and the tool's Com1 is mapped to it in a private settings location (your own
# settings are not touched). The simulator stops when the tool exits.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAV_BUILD_TESTS=OFF >/dev/null
cmake --build build

work=$(mktemp -d)
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    kill -TERM "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME/ZAV"

sim=build/tools/zav-meter-sim/zav-meter-sim
if [ -x "$sim" ]; then
  "$sim" "$@" >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  device=""
  for _ in $(seq 1 100); do
    device=$(head -n 1 "$work/sim.out" 2>/dev/null || true)
    [ -n "$device" ] && break
    sleep 0.05
  done
  if [ -z "$device" ]; then
    echo "The meter simulator did not start:" >&2
    cat "$work/sim.err" >&2
    exit 1
  fi
  printf '[Ports]\nCom1=%s\n' "$device" >"$XDG_CONFIG_HOME/ZAV/Instrument Interface.ini"
  echo "Meter simulator on $device (Com1)."
else
  echo "No meter simulator built: the tool starts without a meter (work offline)."
fi

app=build/src/zav-interface
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: running under Xvfb, a virtual display (nothing appears on screen)."
  xvfb-run -a "$app"
else
  "$app"
fi
