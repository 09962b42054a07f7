#!/usr/bin/env bash
# Renders the PNG and ICO icons from the SVG drawings (needs rsvg-convert and ImageMagick).
# The results are kept in the tree, so building and packaging need neither tool.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for name in nodeconfig remoteconfig; do
    for size in 16 32 48 128 256; do
        rsvg-convert -w "$size" -h "$size" "$name.svg" -o "$tmp/$name-$size.png"
    done
    cp "$tmp/$name-48.png" "$tmp/$name-128.png" "$tmp/$name-256.png" .
    convert "$tmp/$name-16.png" "$tmp/$name-32.png" "$tmp/$name-48.png" "$tmp/$name-256.png" "$name.ico"
done
