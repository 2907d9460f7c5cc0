#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test, then the fuzz targets.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${CORVANE_BUILD_DIR:-$root/build}

bash "$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --parallel
(cd "$build" && ctest --output-on-failure --timeout 300)
bash "$root/scripts/fuzz.sh"
