#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz/ and runs each for a short time on a copy of
# its seed corpus in fuzz/corpus/ (the committed corpus is not changed).
# Usage: fuzz/run.sh [seconds per target, default 20]
# A finding stops the run with its input saved as build-fuzz/findings/<target>-crash-...; it
# becomes a test in the ordinary suite once understood.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
targets=(site-recall port-settings answers config-text recording-read)

bash scripts/install-deps.sh --fuzz
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZAV_FUZZ=ON -DZAV_BUILD_TESTS=OFF >/dev/null
cmake --build build-fuzz --target "${targets[@]/#/fuzz-}" >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p build-fuzz/findings
for t in "${targets[@]}"; do
  cp -r "fuzz/corpus/$t" "$work/$t"
  log="$work/$t.log"
  # The windows keep state from answer to answer (and the fonts the platform loads): the answers
  # target looks for bad memory access and undefined behaviour, not for memory kept.
  extra=()
  leaks=1
  [ "$t" = answers ] && extra=(-detect_leaks=0) && leaks=0
  if ! ASAN_OPTIONS="detect_leaks=$leaks:${ASAN_OPTIONS:-}" build-fuzz/fuzz/fuzz-"$t" "$work/$t" "${extra[@]}" \
      -max_total_time="$seconds" -print_final_stats=1 \
      -artifact_prefix="build-fuzz/findings/$t-" >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "fuzz-$t: finding, input kept in build-fuzz/findings/" >&2
    exit 1
  fi
  runs=$(awk '/stat::number_of_executed_units/ { print $2 }' "$log")
  echo "fuzz-$t: $runs executions in ${seconds} s, no finding"
done
