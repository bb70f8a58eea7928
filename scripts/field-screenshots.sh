#!/usr/bin/env bash
# The README's laptop pictures: a 1366x768 virtual display (Xvfb) with a window manager (openbox),
# the tool's windows on it against the meter simulator, and the whole screen written as PNG files.
# Usage: scripts/field-screenshots.sh [folder, default docs/screenshots]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshots}

bash scripts/install-deps.sh
if ! command -v openbox >/dev/null; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get install -y -q openbox >/dev/null
fi
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZAV_BUILD_TESTS=OFF >/dev/null
cmake --build build --target zav-fieldshots >/dev/null

display=:97
Xvfb "$display" -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
work=$(mktemp -d)
cleanup() {
  kill "$wm" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
sleep 1
DISPLAY=$display openbox >/dev/null 2>&1 &
wm=$!
sleep 1
DISPLAY=$display XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=xcb build/tools/zav-screenshots/zav-fieldshots "$out"
