#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds Tovel with
# AddressSanitizer and UndefinedBehaviorSanitizer (a warning fails the
# build) and runs every test through CTest.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/format.sh --check
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTOVEL_SANITIZE=ON -DTOVEL_BENCH=ON \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build/test
cd build/test
ctest --output-on-failure --timeout 600
