#!/usr/bin/env bash
# Formats every C++ file of the project with clang-format and the project's
# .clang-format. With --check, changes nothing and fails on the first file
# that is not formatted (the test command runs it so).
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
if [[ "${1:-}" == "--check" ]]; then
    clang-format --dry-run --Werror "${files[@]}"
    echo "clang-format: ${#files[@]} files formatted as .clang-format says"
else
    clang-format -i "${files[@]}"
fi
