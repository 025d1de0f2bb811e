#!/usr/bin/env bash
# Renders the checked-in PNG icons from the SVG sources in src/ (needs rsvg-convert, Debian's
# librsvg2-bin). Run it after changing a source and commit the PNGs: the build and the package use
# them as they are, so neither needs an SVG renderer.
# At 16 and 24 pixels the program icon comes from its own drawing on a 16 pixel grid; the large
# one scaled down blurs its roof into a smudge.
set -euo pipefail
cd "$(dirname "$0")"
app=de.torvane.PyreltoKalkulation
for size in 16 24 32 48 64 128 256; do
  dir=hicolor/${size}x${size}
  mkdir -p "$dir/apps" "$dir/mimetypes"
  src=src/$app.svg
  if [ "$size" -le 24 ]; then src=src/$app-small.svg; fi
  rsvg-convert -w "$size" -h "$size" "$src" -o "$dir/apps/$app.png"
  for type in application-x-pyrelto-kalkulation application-x-pyrelto-material; do
    rsvg-convert -w "$size" -h "$size" "src/$type.svg" -o "$dir/mimetypes/$type.png"
  done
done
# The Windows programs' icon (needs icotool, Debian's icoutils): the small sizes as bitmaps, the
# largest as PNG, as Windows takes it.
icotool -c -o ../windows/pyrelto.ico \
  $(for size in 16 24 32 48 64 128; do echo "hicolor/${size}x${size}/apps/$app.png"; done) \
  -r "hicolor/256x256/apps/$app.png"
