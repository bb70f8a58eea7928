#!/usr/bin/env bash
# How long a whole `zav-cli diff` of two site files takes, process start to exit: two site files
# (the simulator's image read once, and the same with a few cells and an uncovered byte changed
# through export and import) compared many times. Target: under 50 ms a run.
# Usage: bench/diff.sh [runs]   (builds build/ without tests if needed; ZAV_CLI and ZAV_SIM name
# other builds of zav-cli and zav-meter-sim, which are then used as they are)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-50}
target_ms=50

source scripts/sim.sh
if [ -z "${ZAV_CLI:-}" ]; then
  bench_setup
  cli=build/tools/zav-cli/zav-cli
else
  cli=$ZAV_CLI
  work=$(mktemp -d)
  trap 'stop_sim; rm -rf "$work"' EXIT
  export XDG_CONFIG_HOME="$work/config"
fi

# The two site files.
start_sim "$work" --baud 115200 --turnaround 0
"$cli" read "$work/a.bin" --device "$device" --settings 115200,n,8,1 >/dev/null
stop_sim
"$cli" export "$work/a.bin" -o "$work/a.txt"
sed -e 's/^chanB\.CalFactor = .*/chanB.CalFactor = 1.25/' \
    -e 's/^chanA\.PipeID = [^ ]*/chanA.PipeID = 0.0047/' \
    -e 's/^global\.MeterName = .*/global.MeterName = "PLANT 3"/' \
    -e 's/^bytes 668 = 00/bytes 668 = 5A/' "$work/a.txt" >"$work/b.txt"
"$cli" import "$work/b.txt" -o "$work/b.bin" >/dev/null
status=0
"$cli" diff "$work/a.bin" "$work/b.bin" >"$work/diff.txt" || status=$?
if [ "$status" -ne 1 ]; then
  echo "zav-cli diff gave status $status, not 1 (the files differ):" >&2
  cat "$work/diff.txt" >&2
  exit 1
fi

if command -v hyperfine >/dev/null; then
  hyperfine --warmup 3 --runs "$runs" -i --export-json "$work/h.json" "$cli diff $work/a.bin $work/b.bin" >/dev/null
  times=$(python3 -c 'import json,sys; print("\n".join(str(t*1000) for t in json.load(open(sys.argv[1]))["results"][0]["times"]))' "$work/h.json")
else
  times=""
  for i in $(seq 1 "$runs"); do
    start=$(date +%s%N)
    "$cli" diff "$work/a.bin" "$work/b.bin" >/dev/null || true
    end=$(date +%s%N)
    times+="$(( (end - start) / 1000 ))e-3"$'\n'
  done
fi
echo "$times" | awk 'NF { print $1 + 0 }' | sort -g | awk -v target="$target_ms" '{ t[++n] = $1 }
  END {
    median = t[int((n + 1) / 2)]
    printf "zav-cli diff of two site files, %d runs: median %.1f ms, fastest %.1f ms, slowest %.1f ms (target: under %d ms)\n", n, median, t[1], t[n], target
    exit !(median < target) }'
