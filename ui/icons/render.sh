#!/usr/bin/env bash
# Renders tovel.svg into the committed PNGs (the build itself needs no SVG
# renderer). Needs rsvg-convert: apt-get install librsvg2-bin
set -euo pipefail
cd "$(dirname "$0")"
for n in 16 32 48 64 128 256; do
    rsvg-convert -w "$n" -h "$n" tovel.svg -o "tovel-$n.png"
done
