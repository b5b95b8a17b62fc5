#!/usr/bin/env bash
# Installs the build tree into a temporary prefix, checks that every file is
# there (and nothing else), that the command is a relative link into the
# program folder, and that a program started through such a link finds its
# own folder.
#   install_layout_test.sh <build dir> <source dir> <cmake> <folder probe>
set -euo pipefail
bin=$1 src=$2 cmake=$3 probe=$4
. "$(dirname "$0")/installed_program.sh"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
fail=0

"$cmake" --install "$bin" --prefix "$prefix" >"$scratch/install.log" 2>&1 \
    || { cat "$scratch/install.log"; exit 1; }

if ! diff -u <(expected_files "$src") <(cd "$prefix" && find . \( -type f -o -type l \) | sed 's|^\./||' | LC_ALL=C sort); then
    echo "FAIL: the installed files differ from the expected ones (- expected, + installed)"
    fail=1
fi

[[ -L $prefix/bin/tovel && $(readlink "$prefix/bin/tovel") == ../lib/tovel/tovel ]] \
    || { echo "FAIL: bin/tovel is not the link ../lib/tovel/tovel"; fail=1; }
[[ $(readlink -f "$prefix/bin/tovel") == "$(readlink -f "$prefix/lib/tovel/tovel")" && -x $prefix/lib/tovel/tovel ]] \
    || { echo "FAIL: bin/tovel does not lead to an executable program"; fail=1; }
# Outside /usr the menu entry names the command by its full path.
entry=$prefix/share/applications/tovel.desktop
grep -qx "Exec=$prefix/bin/tovel" "$entry" || { echo "FAIL: $(grep ^Exec "$entry")"; fail=1; }
# The session bus starts the search provider by its full installed path.
grep -qx "Exec=$prefix/lib/tovel/tovel-search" "$prefix/share/dbus-1/services/org.example.tovel.SearchProvider.service" \
    || { echo "FAIL: the search provider's service file does not name $prefix/lib/tovel/tovel-search"; fail=1; }
if command -v desktop-file-validate >/dev/null; then
    out=$(desktop-file-validate "$entry" 2>&1) && [[ -z $out ]] || { echo "FAIL: $out"; fail=1; }
fi
if command -v appstreamcli >/dev/null; then
    out=$(appstreamcli validate --no-net "$prefix/share/metainfo/org.example.tovel.metainfo.xml" 2>&1) || { echo "FAIL: $out"; fail=1; }
fi
for f in "$prefix"/share/icons/hicolor/*/apps/tovel.png; do
    size=${f%/apps/tovel.png}; size=${size##*/}
    [[ $(head -c 24 "$f" | od -An -tu1 -j16 -N8 | awk '{print ($1*16777216+$2*65536+$3*256+$4) "x" ($5*16777216+$6*65536+$7*256+$8)}') == "$size" ]] \
        || { echo "FAIL: $f is not a $size image"; fail=1; }
done

# The folder a program reports, started through a link and through a link
# to that link, is the folder it lives in.
mkdir -p "$scratch/p/lib/x" "$scratch/p/bin" "$scratch/other"
cp "$probe" "$scratch/p/lib/x/probe"
ln -s ../lib/x/probe "$scratch/p/bin/probe"
ln -s "$scratch/p/bin/probe" "$scratch/other/probe"
for link in "$scratch/p/bin/probe" "$scratch/other/probe"; do
    got=$(cd / && QT_QPA_PLATFORM=offscreen "$link")
    [[ $got == "$scratch/p/lib/x" ]] || { echo "FAIL: through $link the program folder is '$got'"; fail=1; }
done

check_program_finds_series "$prefix/bin/tovel" "$prefix/lib/tovel" "$scratch" || fail=1
# tovelconv, started through its link from elsewhere, converts with the
# series files beside the program.
got=$(cd / && env HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config" XDG_CACHE_HOME="$scratch/home/.cache" \
    LC_ALL=C.UTF-8 ASAN_OPTIONS=detect_leaks=0 "$prefix/bin/tovelconv" -t 1 km m 2>&1) || true
[[ $got == 1000 ]] || { echo "FAIL: through bin/tovelconv, 1 km m gave '$got'"; fail=1; }

((fail == 0)) && echo "ok: $(expected_files "$src" | wc -l) files installed, link and program folder right"
exit $fail
