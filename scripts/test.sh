#!/usr/bin/env bash
# Installs what is missing, builds Tovel with AddressSanitizer and
# UndefinedBehaviorSanitizer and runs every test through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOVEL_SANITIZE=ON -DTOVEL_BENCH=ON
cmake --build build/test
cd build/test
ctest --output-on-failure --timeout 600
