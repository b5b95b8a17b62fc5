#!/usr/bin/env bash
# Runs bench_search against the built tovel-search on a private session bus
# that starts it as the desktops do (a service file naming the program in a
# scratch program folder beside a copy of units/). Builds nothing but
# those two: cmake --build BUILD --target tovel-search bench_search
#   bash bench/search_bench.sh [BUILD DIR] [COUNT]    (default build/bench)
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build/bench}" && pwd)
count=${2:-1000}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
program=$scratch/prefix/lib/tovel
mkdir -p "$program" "$scratch/prefix/share/dbus-1/services" "$scratch/home"
cp "$build/app/tovel-search" "$program/"
cp -r "$src/units" "$program/"
printf '[D-BUS Service]\nName=org.example.tovel.SearchProvider\nExec=%s\n' "$program/tovel-search" \
    >"$scratch/prefix/share/dbus-1/services/org.example.tovel.SearchProvider.service"
HOME=$scratch/home XDG_CONFIG_HOME=$scratch/home/.config XDG_DATA_DIRS="$scratch/prefix/share" \
    dbus-run-session -- "$build/bench/bench_search" "$count"
