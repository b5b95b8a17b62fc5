#!/usr/bin/env bash
# One conversion from a cold process, as a script or a launcher pays for it
# on every keystroke: tovelconv beside GNU units (and qalc when installed),
# side by side in one hyperfine run. Builds a release tovelconv first.
#
#   bash bench/tovelconv_hyperfine.sh [build folder, default build/release]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}

need=()
command -v hyperfine >/dev/null || need+=(hyperfine)
command -v units >/dev/null || need+=(units)
if ((${#need[@]})); then
    sudo=()
    ((EUID == 0)) || sudo=(sudo)
    "${sudo[@]}" apt-get install -y --no-install-recommends "${need[@]}"
fi

if [[ ! -f $build/CMakeCache.txt ]]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOVEL_TESTS=OFF
fi
cmake --build "$build" --target tovelconv
conv=$build/app/tovelconv

# The index of unit names is made by the first run; the warm-up runs make it.
commands=("$conv --units $root/units 6 畳 平方メートル" "units -t '6 ft' m")
command -v qalc >/dev/null && commands+=("qalc -t '6 ft to m'")
LC_ALL=C.UTF-8 hyperfine -N --warmup 10 --min-runs 100 "${commands[@]}"
