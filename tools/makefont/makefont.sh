#!/usr/bin/env bash
# Builds makefont and renders the repository's font.tga from DejaVu Sans Mono Bold
# (Debian package fonts-dejavu-core). Run from anywhere; needs libfreetype-dev.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
font="${1:-/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf}"
build="$(mktemp -d)"
trap 'rm -rf "$build"' EXIT
c++ -std=c++20 -O2 -Wall -Wextra "$here/makefont.cpp" -o "$build/makefont" \
  $(pkg-config --cflags --libs freetype2)
"$build/makefont" "$font" "$root/font.tga"
echo "wrote $root/font.tga from $font"
