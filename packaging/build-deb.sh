#!/usr/bin/env bash
# Builds the Debian package tovel_<version>-1_<arch>.deb from a release build
# made with Debian's own compiler and linker flags (hardening included).
#   packaging/build-deb.sh [build folder, default build/deb]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/deb}

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOVEL_TESTS=OFF
cmake --build "$build" -j2
cd "$build"
cpack -G DEB
ls -l "$PWD"/*.deb
