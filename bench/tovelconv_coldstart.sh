#!/usr/bin/env bash
# One conversion from a cold process against the floor of any Qt program:
# "tovelconv 6 畳 平方メートル" beside a program that only makes a
# QCoreApplication and prints (bench/coldstart), both built in Release, side
# by side with hyperfine in alternating rounds. tovelconv should stay within
# 1.05 times the floor; the ratio is printed at the end.
#
#   bash bench/tovelconv_coldstart.sh [build folder, default build/release]
#
# HYPERFINE_RUNS sets the number of runs of each (default 300),
# COLDSTART_ROUNDS the number of rounds they are split into (default 6).
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
rounds=${COLDSTART_ROUNDS:-6}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The machine's pace drifts over a run of this length: the two alternate,
# in rounds of runs/rounds each, the order turned round every round, and
# the ratio is taken in each round. The warm-up runs make tovelconv's index
# of unit names, as the first run of a user's would.
for ((round = 0; round < rounds; round++)); do
    commands=(-n floor "$floor" -n tovelconv "$conv --units $root/units 6 畳 平方メートル")
    ((round % 2)) && commands=(-n tovelconv "$conv --units $root/units 6 畳 平方メートル" -n floor "$floor")
    LC_ALL=C.UTF-8 hyperfine -N --style none --warmup 20 --runs $((runs / rounds)) \
        --export-json "$work/round$round.json" "${commands[@]}" >/dev/null
done
python3 - "$work"/round*.json <<'PY'
import json, statistics, sys
times = {"floor": [], "tovelconv": []}
ratios = []
for path in sys.argv[1:]:
    results = {r["command"]: r for r in json.load(open(path))["results"]}
    for name in times:
        times[name] += results[name]["times"]
    ratios.append(results["tovelconv"]["median"] / results["floor"]["median"])
for name, t in times.items():
    print(f"{name:10s} {statistics.mean(t) * 1000:.3f} ms ± {statistics.stdev(t) * 1000:.3f} ms "
          f"(median {statistics.median(t) * 1000:.3f} ms, {len(t)} runs)")
print("ratio by round (medians): " + " ".join(f"{r:.3f}" for r in ratios))
print(f"ratio      {statistics.median(ratios):.3f} (median of the rounds), "
      f"{statistics.median(times['tovelconv']) / statistics.median(times['floor']):.3f} (median of all runs)")
PY
