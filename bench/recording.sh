#!/usr/bin/env bash
# A recorded night opened offline: builds build-rb/ (RelWithDebInfo, no tests) with zav-recbench,
# which writes a data log of a million rows in the tool's own format and times opening it into its
# chart, fitting it, one zoom step and one pan step (drawn offscreen), and prints the peak memory.
# Usage: bench/recording.sh [rows]
set -euo pipefail
cd "$(dirname "$0")/.."
rows=${1:-1000000}

bash scripts/install-deps.sh
cmake -S . -B build-rb -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAV_BUILD_TESTS=OFF -DZAV_BUILD_BENCH=ON >/dev/null
nice -n 10 cmake --build build-rb -j2 --target zav-recbench >/dev/null
QT_QPA_PLATFORM=offscreen build-rb/bench/zav-recbench "$rows"
