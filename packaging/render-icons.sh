#!/bin/sh
# Renders the program's icon (packaging/icons/hicolor/scalable/apps/pullmark.svg)
# into the PNG sizes the desktop and the program's window use. The renderings
# are kept in the repository, so the ordinary build needs no SVG tools; run
# this again after changing the drawing.
set -eu
cd "$(dirname "$0")/icons/hicolor"
SUDO=$([ "$(id -u)" = 0 ] || echo sudo)
if ! command -v rsvg-convert >/dev/null; then
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends librsvg2-bin
fi
for size in 16 32 48 64 128 256; do
  mkdir -p "${size}x${size}/apps"
  rsvg-convert --width "$size" --height "$size" --keep-aspect-ratio \
    --output "${size}x${size}/apps/pullmark.png" scalable/apps/pullmark.svg
  echo "${size}x${size}/apps/pullmark.png"
done
