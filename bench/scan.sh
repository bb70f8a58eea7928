#!/usr/bin/env bash
# How long `zav-cli scan` takes to ask the 16 nodes of a bus against its floor: 16 x (the request's
# 8 bytes at 10 bits a byte + the wait after it), at 9600 baud with the default 150 ms wait; once on
# a bus of three meters (nodes 3, 7, 12) and once on a bus where nobody answers. Process start and
# exit are included.
# Usage: bench/scan.sh [runs]   (builds build/ without tests if needed)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
baud=9600
wait_ms=150

source scripts/sim.sh
bench_setup
floor=$(awk -v baud="$baud" -v w="$wait_ms" 'BEGIN { printf "%.0f", 16 * (8 * 10 * 1000 / baud + w) }')
printf '%-22s %5s %9s %9s %7s\n' bus runs "best ms" "floor ms" ratio
for bus in "3,7,12" "200"; do
  start_sim "$work" --baud "$baud" --turnaround 5 --nodes "$bus"
  best=""
  for _ in $(seq 1 "$runs"); do
    sleep 0.2
    start=$(date +%s%N)
    build/tools/zav-cli/zav-cli scan --device "$device" --wait "$wait_ms" >/dev/null 2>&1 || true
    ms=$(( ($(date +%s%N) - start) / 1000000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  stop_sim
  label="meters on $bus"
  [ "$bus" = 200 ] && label="no meter on 1-16"
  printf '%-22s %5d %9d %9d %7.3f\n' "$label" "$runs" "$best" "$floor" "$(awk -v a="$best" -v b="$floor" 'BEGIN { print a / b }')"
done
