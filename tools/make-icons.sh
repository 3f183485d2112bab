#!/usr/bin/env bash
# Renders resources/icons/bandhopper.svg into the PNG sizes the desktop's icon theme uses.
# Needs rsvg-convert (apt-get install librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")/../resources/icons"
for size in 16 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" bandhopper.svg -o "bandhopper-$size.png"
done
