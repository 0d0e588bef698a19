#!/usr/bin/env bash
# Draws the program's icon and the buttons' glyphs with ImageMagick. The .ico files are
# committed; run this again only to change them.
set -euo pipefail
cd "$(dirname "$0")"

# The program: two arrows passing each other, Zedra to Veltrix and back, on the panels' gold.
icono() { # size
    local s=$1
    convert -size 64x64 xc:none \
        -fill '#F9D37D' -stroke '#A0782A' -strokewidth 2 -draw 'roundrectangle 2,2 61,61 10,10' \
        -stroke none -fill '#1F4E9C' -draw 'rectangle 10,16 42,26' -draw 'polygon 40,8 56,21 40,34' \
        -fill '#C0392B' -draw 'rectangle 22,38 54,48' -draw 'polygon 24,30 8,43 24,56' \
        -resize "${s}x${s}" "png32:ponteva-$s.png"
}
for s in 16 32 48; do icono "$s"; done
convert ponteva-16.png ponteva-32.png ponteva-48.png ponteva.ico
rm ponteva-*.png

# OK: a green tick.
convert -size 64x64 xc:none -fill none -stroke '#1E8C2E' -strokewidth 10 \
    -draw 'polyline 8,34 24,50 56,14' -resize 16x16 png32:ok.png
convert ok.png ok.ico && rm ok.png

# Close: an open door.
convert -size 64x64 xc:none \
    -fill '#7A4A1E' -stroke '#4A2A0E' -strokewidth 3 -draw 'rectangle 14,4 50,60' \
    -fill '#F2E2B0' -stroke none -draw 'rectangle 18,8 46,58' \
    -fill '#A0632A' -stroke '#4A2A0E' -strokewidth 3 -draw 'polygon 18,8 36,14 36,62 18,58' \
    -fill '#FFD700' -stroke none -draw 'circle 32,36 32,39' \
    -resize 16x16 png32:salir.png
convert salir.png salir.ico && rm salir.png
