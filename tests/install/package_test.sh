#!/usr/bin/env bash
# Builds the Debian package from the build tree, checks its name, control
# fields and file list, unpacks it into a scratch root with dpkg -x and
# starts the unpacked program headless through /usr/bin/tovel.
# Skips (status 0, a "skipped" line) where cpack or the dpkg tools are missing.
#   package_test.sh <build dir> <source dir> <cpack> <version>
set -euo pipefail
bin=$1 src=$2 cpack=$3 version=$4
. "$(dirname "$0")/installed_program.sh"

for tool in "$cpack" dpkg-deb dpkg-shlibdeps dpkg; do
    if ! command -v "$tool" >/dev/null; then
        echo "skipped: $tool is not available, so no Debian package can be built here"
        exit 0
    fi
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail=0

if ! (cd "$bin" && "$cpack" --config CPackConfig.cmake -G DEB -B "$scratch/out") >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log"; echo "FAIL: cpack"; exit 1
fi
deb=$scratch/out/tovel_${version}-1_$(dpkg --print-architecture).deb
[[ -f $deb ]] || { echo "FAIL: no $(basename "$deb")"; ls "$scratch/out"; exit 1; }

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == tovel && $(field Version) == "$version-1" ]] || { echo "FAIL: name or version"; fail=1; }
[[ $(field Recommends) == "fonts-noto-cjk | fonts-ipafont-gothic, xdg-utils" ]] || { echo "FAIL: Recommends is '$(field Recommends)'"; fail=1; }
for dep in libc6 libqt6widgets6 libqt6core6 libqt6dbus6 libgmp10 qt6-translations-l10n; do
    [[ ", $(field Depends)," == *", $dep "[\(,]* || ", $(field Depends)," == *", $dep,"* ]] \
        || { echo "FAIL: Depends lacks $dep: $(field Depends)"; fail=1; }
done
description=$(field Description)
[[ $description == *単位変換* ]] || { echo "FAIL: no Japanese description"; fail=1; }
[[ $description == *"unit converter"* ]] || { echo "FAIL: no English description"; fail=1; }

if ! diff -u <({ expected_files "$src"; printf '%s\n' share/doc/tovel/changelog.Debian.gz share/doc/tovel/copyright share/lintian/overrides/tovel; } | sed 's|^|usr/|' | LC_ALL=C sort) \
             <(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./||' | LC_ALL=C sort); then
    echo "FAIL: the package's files differ from the expected ones (- expected, + packed)"
    fail=1
fi
dpkg-deb -c "$deb" | awk '$1 !~ /^[dl]/ && $2 != "root/root" {print "FAIL: owner " $2 " of " $6; bad=1} END {exit bad}' || fail=1

dpkg -x "$deb" "$scratch/root"
[[ $(readlink -f "$scratch/root/usr/bin/tovel") == "$scratch/root/usr/lib/tovel/tovel" ]] \
    || { echo "FAIL: /usr/bin/tovel does not lead to /usr/lib/tovel/tovel"; fail=1; }
grep -qx "Exec=tovel" "$scratch/root/usr/share/applications/tovel.desktop" \
    || { echo "FAIL: the menu entry of the package does not start tovel from the PATH"; fail=1; }
grep -qx "Exec=/usr/lib/tovel/tovel-search" "$scratch/root/usr/share/dbus-1/services/org.example.tovel.SearchProvider.service" \
    || { echo "FAIL: the package's search provider service does not start /usr/lib/tovel/tovel-search"; fail=1; }
check_program_finds_series "$scratch/root/usr/bin/tovel" "$scratch/root/usr/lib/tovel" "$scratch" || fail=1
# That run, as root, saved its settings when it was told to end: in root's
# own configuration folder, never in the installed program folder.
if [[ -e "$scratch/root/usr/lib/tovel/Tovelset.ini" ]]; then
    echo "FAIL: root made Tovelset.ini in the installed program folder"
    fail=1
    rm -f "$scratch/root/usr/lib/tovel/Tovelset.ini"
fi

# An ordinary user cannot write the program folder of a system install: the
# program must then read its settings from the user's configuration folder,
# never beside itself. Shown where root can start the program as "nobody"
# and watch it with strace.
if (($(id -u) == 0)) && command -v setpriv >/dev/null && command -v strace >/dev/null; then
    user=$scratch/nobody
    mkdir "$user"
    chown 65534:65534 "$user"
    chmod 755 "$scratch"
    if check_program_finds_series "$scratch/root/usr/bin/tovel" "$scratch/root/usr/lib/tovel" "$user" \
            setpriv --reuid=65534 --regid=65534 --clear-groups; then
        grep -q "\"$user/home/.config/tovel/Tovelset.ini\"" "$user/strace.log" \
            || { echo "FAIL: as an ordinary user the program did not look for ~/.config/tovel/Tovelset.ini"; fail=1; }
        ! grep -q "\"$scratch/root/usr/lib/tovel/Tovelset.ini\"" "$user/strace.log" \
            || { echo "FAIL: as an ordinary user the program used Tovelset.ini in its read-only folder"; fail=1; }
        ((fail)) || echo "ok: as an ordinary user the settings live in ~/.config/tovel"
    else
        echo "FAIL: the program did not start as an ordinary user"; fail=1
    fi
else
    echo "note: not run as root with setpriv and strace: the settings location of an ordinary user is not checked here"
fi

((fail == 0)) && echo "ok: $(basename "$deb") builds, holds every file and runs from a scratch root"
exit $fail
