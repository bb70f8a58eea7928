#!/usr/bin/env bash
# Builds the tool and runs the whole test suite headless, under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAV_SANITIZE=ON >/dev/null
cmake --build build-asan
cd build-asan
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)" "$@"
