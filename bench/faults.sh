#!/usr/bin/env bash
# Image reads and writes through zav-cli against the meter simulator on a bad line, one line fault
# at a time, and whether anything was lost on the way; then the same through the window tool
# (bench/zav-faults.cpp: its windows, offscreen, with the same faults, rate and seed). Each fault gets its own simulator that
# keeps its image in a site file (--image, --save: every image it accepts is written back there);
# zav-cli reads the image into a site file and writes two site files, A and B, in turn, until at
# least the asked number of exchanges (requests sent) have gone over the line.
#
# Lost, for each run of zav-cli:
#   - a crash or a hang (no exit within 30 s);
#   - read: a site file written that is not the meter's image byte for byte, or an earlier file
#     touched by a read that failed;
#   - write: a meter image afterwards that is neither the one before nor the one sent, or not the
#     one sent after zav-cli said the meter confirmed it;
#   - a failure (exit status other than 0) without its "zav-cli: <reason>" line.
#
# Usage: bench/faults.sh [exchanges per fault, default 1000] [seed, default 1]
# ZAV_FAULTS="drop split" runs only those faults; ZAV_FAULTS_VERBOSE=1 tells every run;
# ZAV_EARLY_END=1 runs zav-cli and the window tool with early end of answer (the port set to the
# line's rate, which the quiet time follows).
# Builds zav-cli, zav-meter-sim and zav-faults in build/ (without tests), or uses the configured
# build folder named by ZAV_BUILD (configured with -DZAV_BUILD_BENCH=ON). Run by hand; not part of
# the test suite. The exit status is 1 when anything was lost.
set -euo pipefail
cd "$(dirname "$0")/.."
want=${1:-1000}
seed=${2:-1}
baud=115200
# Each fault in turn at 5 %; --delay takes milliseconds, 5 % of the link's 3 s answer time;
# --late-p sends 5 % of the answers 3.4 s late, after the link has given up on them.
faults=("drop 0.05" "corrupt 0.05" "split 0.05" "noise 0.05" "foreign 0.05" "delay 150" "late-p 0.05")

build=${ZAV_BUILD:-build}
if [ -z "${ZAV_BUILD:-}" ]; then
  bash scripts/install-deps.sh
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAV_BUILD_TESTS=OFF -DZAV_BUILD_BENCH=ON >/dev/null
fi
cmake --build "$build" --target zav-cli zav-meter-sim zav-faults >/dev/null
cli=$build/tools/zav-cli/zav-cli
simulator=$build/tools/zav-meter-sim/zav-meter-sim

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

# The simulator at the line's rate with no turnaround, on a pseudo-terminal (start_sim, stop_sim).
source scripts/sim.sh
early=()
[ -n "${ZAV_EARLY_END:-}" ] && early=(--early-end --settings "$baud,n,8,1")
ZAV_SIM=$simulator
start_sim_at_rate() { start_sim "$1" --baud "$baud" --turnaround 0 "${@:2}" || exit 1; }

# Site file A: the factory image, read on a clean line. Site file B: A with another meter name
# ("ZAV METER" becomes "ZAV METEX"), its checksum byte made good.
mkdir -p "$work/clean"
start_sim_at_rate "$work/clean"
"$cli" read "$work/A.bin" --device "$device" >/dev/null
stop_sim
cp "$work/A.bin" "$work/B.bin"
at=$(grep -oba 'ZAV METER' "$work/A.bin" | head -n 1 | cut -d: -f1)
[ -n "$at" ] || { echo "faults.sh: no meter name in the factory image" >&2; exit 1; }
put_byte() { printf "\\$(printf '%03o' "$3")" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }
put_byte "$work/B.bin" $((at + 8)) 88 # X
sum=$(od -An -v -tu1 -j3 "$work/B.bin" | awk '{ for (i = 1; i <= NF; ++i) s += $i } END { print s % 256 }')
put_byte "$work/B.bin" 2 "$sum"
"$cli" check "$work/B.bin" >/dev/null
printf 'not read yet' >"$work/stale.bin"

same() { cmp -s "$1" "$2"; }

echo "zav-cli at $baud baud, 5 % faults, seed $seed${ZAV_EARLY_END:+, early end of answer}"
printf '%-10s %6s %10s %8s %10s %10s\n' fault runs exchanges injected failures "data lost"
total_lost=0
for spec in "${faults[@]}"; do
  read -r fault value <<<"$spec"
  # ZAV_FAULTS="drop split" runs only those.
  [ -n "${ZAV_FAULTS:-}" ] && [[ " $ZAV_FAULTS " != *" $fault "* ]] && continue
  dir="$work/$fault"
  mkdir -p "$dir"
  cp "$work/A.bin" "$dir/meter.bin"
  start_sim_at_rate "$dir" --image "$dir/meter.bin" --save --seed "$seed" --"$fault" "$value"
  current="$work/A.bin"
  runs=0 exchanges=0 failures=0 lost=0
  while [ "$exchanges" -lt "$want" ]; do
    runs=$((runs + 1))
    rm -f "$dir/trace"
    if [ $((runs % 2)) -eq 1 ]; then
      command=read
      cp "$work/stale.bin" "$dir/read.bin"
      args=(read "$dir/read.bin")
    else
      command=write
      if same "$current" "$work/A.bin"; then next="$work/B.bin"; else next="$work/A.bin"; fi
      args=(write "$next")
    fi
    cp "$dir/meter.bin" "$dir/before.bin"
    status=0
    timeout -k 5 30 "$cli" "${args[@]}" "${early[@]}" --device "$device" --trace "$dir/trace" >/dev/null 2>"$dir/err" || status=$?
    sent=$(grep -c ' sent ' "$dir/trace" 2>/dev/null) || true
    exchanges=$((exchanges + ${sent:-0}))
    why=""
    if [ "$status" -ge 124 ]; then
      why="crash or hang (status $status)"
    elif [ "$status" -ne 0 ] && ! grep -q '^zav-cli: ' "$dir/err"; then
      why="failure (status $status) without its reason"
    elif [ "$command" = read ] && [ "$status" -eq 0 ] && ! same "$dir/read.bin" "$dir/meter.bin"; then
      why="site file written that is not the meter's image"
    elif [ "$command" = read ] && [ "$status" -ne 0 ] && ! same "$dir/read.bin" "$work/stale.bin"; then
      why="earlier file changed by a failed read"
    elif [ "$command" = write ] && [ "$status" -eq 0 ] && ! same "$dir/meter.bin" "$next"; then
      why="meter image is not the one confirmed"
    elif [ "$command" = write ] && ! same "$dir/meter.bin" "$dir/before.bin" && ! same "$dir/meter.bin" "$next"; then
      why="meter image is neither the old nor the new one"
    fi
    [ "$status" -ne 0 ] && failures=$((failures + 1))
    [ -n "${ZAV_FAULTS_VERBOSE:-}" ] && echo "  --$fault run $runs $command: status $status, $sent sent; $(head -n 1 "$dir/err")" >&2
    if [ -n "$why" ]; then
      lost=$((lost + 1))
      kept="${TMPDIR:-/tmp}/zav-faults-$fault-$runs.trace"
      cp "$dir/trace" "$kept" 2>/dev/null || true
      echo "  --$fault run $runs ($command): $why; $(head -n 1 "$dir/err"); trace in $kept" >&2
    fi
    [ "$command" = write ] && current="$dir/meter.bin"
    # A site file that is the meter's image now stands for A or B.
    if same "$current" "$work/A.bin"; then current="$work/A.bin"; elif same "$current" "$work/B.bin"; then current="$work/B.bin"; fi
  done
  stop_sim
  injected=$(grep -o "${fault%-p}:[0-9]*" "$dir/sim.out" | tail -n 1 | cut -d: -f2)
  printf '%-10s %6d %10d %8s %10d %10d\n' "--$fault" "$runs" "$exchanges" "${injected:-?}" "$failures" "$lost"
  total_lost=$((total_lost + lost))
done

echo
status=0
"$build/bench/zav-faults" --exchanges "$want" --seed "$seed" ${ZAV_FAULTS:+--faults "$ZAV_FAULTS"} \
  ${ZAV_FAULTS_VERBOSE:+--verbose} ${ZAV_EARLY_END:+--early-end} || status=$?
[ "$total_lost" -eq 0 ] && [ "$status" -eq 0 ]
