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
#
# FUZZ_RUNS=N also stops each target after N executions (whichever of the
# two limits comes first). FUZZ_NO_BUILD=1 runs the programs already built,
# so that several targets can run side by side after one build.
# FUZZ_BUILD_DIR puts the build (and corpora and crash inputs) elsewhere
# than build/fuzz.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true

compiler=${CXX_FUZZ:-clang++}
if ! command -v "$compiler" >/dev/null; then
    echo "fuzz.sh: $compiler not found (apt-get install clang libclang-rt-dev)" >&2
    exit 1
fi
# libFuzzer comes in the compiler's runtime package, not with clang itself.
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char *, unsigned long) { return 0; }' >"$probe/probe.cpp"
if ! "$compiler" -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" -o "$probe/probe" 2>/dev/null; then
    major=$("$compiler" -dumpversion | cut -d. -f1)
    echo "fuzz.sh: $compiler cannot link libFuzzer (apt-get install libclang-rt-$major-dev)" >&2
    exit 1
fi

build=${FUZZ_BUILD_DIR:-build/fuzz}

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for source in fuzz/fuzz_*.cpp; do
        targets+=("$(basename "$source" .cpp)")
    done
fi

if [ "${FUZZ_NO_BUILD:-0}" != 1 ]; then
    cmake -S . -B "$build" -G Ninja \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER="$compiler" \
        -DTOVEL_FUZZ=ON -DTOVEL_TESTS=OFF -DTOVEL_BENCH=OFF -DTOVEL_SANITIZE=OFF
    cmake --build "$build" -j2 --target "${targets[@]}"
fi

limits=(-max_total_time="$seconds")
if [ -n "${FUZZ_RUNS:-}" ]; then
    limits+=(-runs="$FUZZ_RUNS")
fi

export LC_ALL=C.UTF-8
# Two frames of each allocation's stack, not thirty: over millions of
# executions the sanitizer's store of allocation stacks grows until keeping
# it up takes most of the time (a run fell from 3,000 to under 500
# executions a second). A crash still shows its whole stack; run its input
# again with ASAN_OPTIONS=detect_leaks=1 for whole allocation stacks.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:malloc_context_size=2}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

status=0
for target in "${targets[@]}"; do
    corpus=$build/corpus/$target
    artifacts=$build/artifacts/$target
    mkdir -p "$corpus" "$artifacts"
    seeds=()
    if [ -d "fuzz/corpus/$target" ]; then
        seeds+=("fuzz/corpus/$target")
    fi
    echo "== $target: $seconds s"
    if ! "$build/fuzz/$target" "${limits[@]}" -print_final_stats=1 \
            -artifact_prefix="$artifacts/" "$corpus" "${seeds[@]}"; then
        echo "== $target: FAILED (see $artifacts)" >&2
        status=1
    fi
done
exit $status
