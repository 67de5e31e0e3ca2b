#!/usr/bin/env bash
# Makes src/Unit1/resources/kalvi7.ico, the icon of kalvi7.exe and of its
# Start-menu entry, from the PNGs beside it:
#
#   packaging/windows/make-icon.sh
#
# The icon holds the six PNGs byte for byte, as PNG-compressed images (which
# Windows reads at every size since Vista), behind the icon directory: no
# image tool is involved, and the same PNGs always give the same icon. The
# icon is committed, made once with this script whenever a PNG changes; the
# Windows configure stops when one no longer matches (kalvi7_check_icon in
# cmake/WindowsResources.cmake).
set -euo pipefail
resources=$(cd "$(dirname "$0")/../../src/Unit1/resources" && pwd)
sizes=(16 32 48 64 128 256)

# Little-endian numbers as hex byte pairs, and hex byte pairs as bytes.
le16() { printf '%02x %02x ' $(($1 & 255)) $(($1 >> 8 & 255)); }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16 & 65535)); }
bytes() { local hex; for hex in $1; do printf "\\x$hex"; done; }

{
    # ICONDIR: reserved, type 1 (icon), number of images.
    bytes "$(le16 0)$(le16 1)$(le16 ${#sizes[@]})"
    offset=$((6 + 16 * ${#sizes[@]}))
    for size in "${sizes[@]}"; do
        length=$(stat -c %s "$resources/kalvi7-$size.png")
        # ICONDIRENTRY: width and height (0 stands for 256), no palette,
        # reserved, one plane, 32 bits a pixel, the image's length and offset.
        bytes "$(printf '%02x %02x 00 00 ' $((size & 255)) $((size & 255)))$(le16 1)$(le16 32)"
        bytes "$(le32 "$length")$(le32 $offset)"
        offset=$((offset + length))
    done
    for size in "${sizes[@]}"; do
        cat "$resources/kalvi7-$size.png"
    done
} >"$resources/kalvi7.ico.tmp"
mv -f "$resources/kalvi7.ico.tmp" "$resources/kalvi7.ico"
echo "$resources/kalvi7.ico"
