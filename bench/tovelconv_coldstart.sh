#!/usr/bin/env bash
# One conversion from a cold process against the floor of any Qt program:
# "tovelconv 6 畳 平方メートル" beside a program that only makes a
# QCoreApplication and prints (bench/coldstart), both built in Release, side
# by side in one hyperfine run. tovelconv should stay within 1.05 times the
# floor; the ratio is printed at the end.
#
#   bash bench/tovelconv_coldstart.sh [build folder, default build/release]
#
# HYPERFINE_RUNS sets the number of runs of each (default 300).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}

if ! command -v hyperfine >/dev/null; then
    echo "tovelconv_coldstart.sh: hyperfine not found (apt-get install hyperfine)" >&2
    exit 1
fi

if [[ ! -f $build/CMakeCache.txt ]]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOVEL_TESTS=OFF
fi
cmake --build "$build" --target tovelconv
floorBuild=$build/coldstart_floor
if [[ ! -f $floorBuild/CMakeCache.txt ]]; then
    cmake -S "$root/bench/coldstart" -B "$floorBuild" -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$floorBuild"

conv=$build/app/tovelconv
floor=$floorBuild/coldstart_floor
runs=${HYPERFINE_RUNS:-300}
json=$(mktemp)
trap 'rm -f "$json"' EXIT

# The warm-up runs make tovelconv's index of unit names, as the first run of
# a user's would.
LC_ALL=C.UTF-8 hyperfine -N --warmup 20 --runs "$runs" --export-json "$json" \
    -n floor "$floor" -n tovelconv "$conv --units $root/units 6 畳 平方メートル"
python3 - "$json" <<'PY'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
floor, conv = results["floor"], results["tovelconv"]
for name, r in (("floor", floor), ("tovelconv", conv)):
    print(f"{name:10s} {r['mean'] * 1000:.3f} ms ± {r['stddev'] * 1000:.3f} ms (median {r['median'] * 1000:.3f} ms)")
print(f"ratio      {conv['mean'] / floor['mean']:.3f} (mean), {conv['median'] / floor['median']:.3f} (median)")
PY
