#!/usr/bin/env bash
# Builds everything and runs the simulated production line on four stations. The build comes
# first and the line last, so the line's verdict per station is the last thing on screen.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "${QRX_JOBS:-2}" --target all
echo "=== the simulated line"
cmake --build build --target run-line
