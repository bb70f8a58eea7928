# Sourced by the scripts that need the meter simulator: start_sim DIR [options] starts
# the meter simulator (ZAV_SIM, default build/tools/zav-meter-sim/zav-meter-sim) on a
# pseudo-terminal with its output in DIR, and sets sim_pid and device (its pseudo-terminal);
# stop_sim ends it. bench_setup builds the release tools a bench needs (build/, no tests) and
# gives the bench a work folder ($work) with its own settings, removed with the simulator on exit.

start_sim() {
  local dir=$1
  shift
  "${ZAV_SIM:-build/tools/zav-meter-sim/zav-meter-sim}" "$@" >"$dir/sim.out" 2>"$dir/sim.err" &
  sim_pid=$!
  device=""
  for _ in $(seq 1 100); do
    device=$(head -n 1 "$dir/sim.out" 2>/dev/null || true)
    [ -n "$device" ] && return 0
    sleep 0.05
  done
  echo "The meter simulator did not start:" >&2
  cat "$dir/sim.err" >&2
  return 1
}

stop_sim() {
  if [ -n "${sim_pid:-}" ] && kill -0 "$sim_pid" 2>/dev/null; then
    kill -TERM "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
}

bench_setup() {
  bash scripts/install-deps.sh
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAV_BUILD_TESTS=OFF >/dev/null
  cmake --build build --target zav-cli zav-meter-sim >/dev/null
  work=$(mktemp -d)
  trap 'stop_sim; rm -rf "$work"' EXIT
  export XDG_CONFIG_HOME="$work/config"
}
