#!/usr/bin/env bash
# Installs what is missing, builds Tovel and starts it with the series files
# that ship in units/ (the build puts them beside the program).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOVEL_TESTS=OFF
cmake --build build/release
exec build/release/app/tovel "$@"
