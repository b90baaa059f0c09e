#!/usr/bin/env bash
# Renders the PNG sizes of the program and file icons from their SVG drawings (needs
# rsvg-convert from librsvg2-bin). The PNGs are committed; run this after changing a drawing.
set -euo pipefail
cd "$(dirname "$0")"
for name in tarvel tarvel-project tarvel-stack; do
  for size in 16 22 24 32 48 64 128 256; do
    mkdir -p "png/${size}"
    rsvg-convert -w "$size" -h "$size" "${name}.svg" -o "png/${size}/${name}.png"
  done
done
