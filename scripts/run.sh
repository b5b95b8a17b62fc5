#!/usr/bin/env bash
# Installs what is missing, builds Tovel and starts it with the series files
# that ship in units/ (the build puts them beside the program).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVEL_TESTS=OFF
cmake --build build/release --parallel "$(nproc 2>/dev/null || getconf _NPROCESSORS_ONLN 2>/dev/null || echo 2)"
exec build/release/app/tovel "$@"
