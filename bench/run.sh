#!/usr/bin/env bash
# The tool against the wire floor: builds build/ (RelWithDebInfo, no tests) with the bench
# program, then runs every item at 9600 and 115200 baud against the meter simulator and prints the
# table (see bench/zav-bench.cpp for what each item measures).
# Usage: bench/run.sh [runs] [more zav-bench options, e.g. --only engine,cli --wave-runs 5]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-20}
shift || true

bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAV_BUILD_TESTS=OFF -DZAV_BUILD_BENCH=ON >/dev/null
nice -n 10 cmake --build build --target zav-bench >/dev/null
build/bench/zav-bench --runs "$runs" "$@"
