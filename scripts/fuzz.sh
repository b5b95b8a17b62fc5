#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/fuzz_*.cpp) with clang in build/fuzz and
# runs each of them for a while. Not part of the CTest run.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#
# SECONDS per target defaults to 60; the targets default to every
# fuzz/fuzz_*.cpp. Each target keeps its corpus in build/fuzz/corpus/TARGET
# and also reads the seeds in fuzz/corpus/TARGET when that folder exists.
# Crash inputs land in build/fuzz/artifacts/TARGET/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true

compiler=${CXX_FUZZ:-clang++}
if ! command -v "$compiler" >/dev/null; then
    echo "fuzz.sh: $compiler not found (apt-get install clang libclang-rt-dev)" >&2
    exit 1
fi

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for source in fuzz/fuzz_*.cpp; do
        targets+=("$(basename "$source" .cpp)")
    done
fi

cmake -S . -B build/fuzz -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER="$compiler" \
    -DTOVEL_FUZZ=ON -DTOVEL_TESTS=OFF -DTOVEL_BENCH=OFF -DTOVEL_SANITIZE=OFF
cmake --build build/fuzz -j2 --target "${targets[@]}"

export LC_ALL=C.UTF-8
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

status=0
for target in "${targets[@]}"; do
    corpus=build/fuzz/corpus/$target
    artifacts=build/fuzz/artifacts/$target
    mkdir -p "$corpus" "$artifacts"
    seeds=()
    if [ -d "fuzz/corpus/$target" ]; then
        seeds+=("fuzz/corpus/$target")
    fi
    echo "== $target: $seconds s"
    if ! "build/fuzz/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
            -artifact_prefix="$artifacts/" "$corpus" "${seeds[@]}"; then
        echo "== $target: FAILED (see $artifacts)" >&2
        status=1
    fi
done
exit $status
