#!/usr/bin/env bash
# A column of values converted in one process: tovelconv reading a value a
# line ("tovelconv -t - ft m") beside GNU units reading you-have/you-want
# pairs ("units -t"), on the same values. Prints the time, the values a
# second of each (wall clock and CPU), their ratio, and tovelconv's largest
# resident memory for the whole column. Builds a release tovelconv first.
#
#   bash bench/tovelconv_batch.sh [build folder, default build/rel] [values, default 1000000]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/rel}
count=${2:-1000000}
unitsCount=$((count / 10))  # units is much slower; a tenth of the values is enough

command -v units >/dev/null || {
    sudo=()
    ((EUID == 0)) || sudo=(sudo)
    "${sudo[@]}" apt-get install -y --no-install-recommends units
}
if [[ ! -f $build/CMakeCache.txt ]]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOVEL_TESTS=OFF -DTOVEL_BENCH=ON
fi
cmake --build "$build" --target tovelconv >/dev/null
conv=$build/app/tovelconv

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
awk -v n="$count" 'BEGIN { for (i = 1; i <= n; i++) printf "%.6g\n", i / 7 }' >"$work/values"
awk -v n="$unitsCount" 'NR <= n { print $1 " ft"; print "m" }' "$work/values" >"$work/pairs"
head -n "$unitsCount" "$work/values" >"$work/values-units"

# Runs a command with stdin and stdout given; prints "wall user+sys maxrss".
measure() {
    local in=$1 out=$2
    shift 2
    /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" <"$in" >"$out"
    awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }' "$work/time"
}

export LC_ALL=C.UTF-8
"$conv" --units "$root/units" -t - ft m <"$work/values-units" >/dev/null  # makes the name index
read -r convWall convCpu convRss < <(measure "$work/values" "$work/conv-out" "$conv" --units "$root/units" -t - ft m)
read -r unitsWall unitsCpu _ < <(measure "$work/pairs" "$work/units-out" units -t)

# The same numbers? units prints more digits; compare the first ten values.
head -n 10 "$work/conv-out" | paste - <(head -n 10 "$work/units-out") >"$work/side"

rate() { awk -v n="$1" -v t="$2" 'BEGIN { printf "%.0f", (t > 0 ? n / t : 0) }'; }
printf '%-28s %10s %10s %14s %14s\n' '' values 'wall s' 'values/s wall' 'values/s CPU'
printf '%-28s %10d %10s %14s %14s\n' 'tovelconv -t - ft m' "$count" "$convWall" "$(rate "$count" "$convWall")" \
    "$(rate "$count" "$convCpu")"
printf '%-28s %10d %10s %14s %14s\n' 'units -t (you-have/you-want)' "$unitsCount" "$unitsWall" \
    "$(rate "$unitsCount" "$unitsWall")" "$(rate "$unitsCount" "$unitsCpu")"
awk -v a="$(rate "$count" "$convCpu")" -v b="$(rate "$unitsCount" "$unitsCpu")" \
    -v c="$(rate "$count" "$convWall")" -v d="$(rate "$unitsCount" "$unitsWall")" \
    'BEGIN { printf "tovelconv / units: %.1fx (CPU), %.1fx (wall)\n", a / b, c / d }'
echo "tovelconv: CPU ${convCpu} s, largest resident memory ${convRss} KiB for $count values"
echo "first values (tovelconv, units):"
cat "$work/side"
