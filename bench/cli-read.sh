#!/usr/bin/env bash
# How close `zav-cli read` comes to the wire floor: the meter simulator at 115200 baud with no
# turnaround, a whole image read (identification, every block, the closing answer) timed from
# the command's start to its exit, against the floor the line allows for the same exchanges:
# every byte of every request and answer at 10 bits a byte, plus the link's 50 ms of silence
# after each answer (the silence floor), or the 3.5 character times (at least 1.75 ms) that
# end an answer with early end of answer (the wire's floor). The exchanges are taken from the
# run's own link trace. ZAV_EARLY_END=1 reads with --early-end and judges against the wire's floor.
# Usage: bench/cli-read.sh [runs]   (builds build/ without tests if needed)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
baud=115200
early=()
quiet=50
target=1.10
if [ -n "${ZAV_EARLY_END:-}" ]; then
  early=(--early-end)
  quiet=1.75 # 3.5 characters of 10 bits at 115200 baud are 0.3 ms: the link's minimum
  target=1.20
fi

source scripts/sim.sh
bench_setup
start_sim "$work" --baud "$baud" --turnaround 0

best=""
for i in $(seq 1 "$runs"); do
  rm -f "$work/trace" "$work/site.bin"
  sleep 0.2 # the line quiet between runs
  start=$(date +%s%N)
  build/tools/zav-cli/zav-cli read "$work/site.bin" --device "$device" --settings "$baud,n,8,1" "${early[@]}" --trace "$work/trace" >/dev/null
  end=$(date +%s%N)
  ms=$(( (end - start) / 1000000 ))
  # Bytes on the wire and answers, from the trace: "<time> sent|taken <hex bytes> ...".
  read -r bytes answers < <(awk '$2 == "sent" || $2 == "taken" {
      n = 0; for (f = 3; f <= NF && $f ~ /^[0-9A-F][0-9A-F]$/; ++f) ++n
      bytes += n; if ($2 == "taken") ++answers }
      END { print bytes, answers }' "$work/trace")
  floor=$(awk -v b="$bytes" -v a="$answers" -v baud="$baud" -v q="$quiet" 'BEGIN { printf "%.0f", b * 10 * 1000 / baud + q * a }')
  ratio=$(awk -v t="$ms" -v f="$floor" 'BEGIN { printf "%.3f", t / f }')
  echo "run $i: ${ms} ms, wire floor ${floor} ms (${bytes} bytes, ${answers} answers), ratio ${ratio}"
  if [ -z "$best" ] || awk -v r="$ratio" -v b="$best" 'BEGIN { exit !(r < b) }'; then best=$ratio; fi
done
echo "best ratio: $best (target: at most $target)"
