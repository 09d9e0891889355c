#!/usr/bin/env bash
# Writes a 32 x 32, 16-colour .ico from a text pixel map: 32 lines of 32 characters after any
# "#" comment lines, each character a colour of the standard 16-colour palette (0-9, a-f) or
# "." for a transparent pixel. The same map always gives the same bytes.
#
# usage: make_icon.sh MAP.txt OUT.ico
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 MAP.txt OUT.ico" >&2
    exit 2
fi

mapfile -t rows < <(grep -v '^#' "$1")
if [ ${#rows[@]} -ne 32 ]; then
    echo "$1: ${#rows[@]} rows of pixels, expected 32" >&2
    exit 1
fi
for i in "${!rows[@]}"; do
    if [[ ! ${rows[$i]} =~ ^[0-9a-f.]{32}$ ]]; then
        echo "$1: row $((i + 1)) is not 32 characters of 0-9, a-f and ." >&2
        exit 1
    fi
done

# Red, green, blue of the standard palette, in index order.
palette=(000000 800000 008000 808000 000080 800080 008080 c0c0c0
         808080 ff0000 00ff00 ffff00 0000ff ff00ff 00ffff ffffff)

bytes=""
u8() {
    local byte
    printf -v byte '\\x%02x' $(($1 & 255))
    bytes+=$byte
}
u16() { u8 "$1"; u8 $(($1 >> 8)); }
u32() { u16 $(($1 & 65535)); u16 $(($1 >> 16)); }

header_size=40
palette_size=64
colour_bits_size=$((32 * 16))  # 4 bits a pixel
mask_size=$((32 * 4))          # 1 bit a pixel, rows padded to 32 bits
image_size=$((header_size + palette_size + colour_bits_size + mask_size))

# Icon directory with one entry.
u16 0; u16 1; u16 1
u8 32; u8 32; u8 16; u8 0; u16 1; u16 4; u32 "$image_size"; u32 22
# The image: a bitmap header whose height counts the colour rows and the mask rows.
u32 "$header_size"; u32 32; u32 64; u16 1; u16 4; u32 0
u32 $((colour_bits_size + mask_size)); u32 0; u32 0; u32 16; u32 0
for colour in "${palette[@]}"; do
    u8 $((16#${colour:4:2})); u8 $((16#${colour:2:2})); u8 $((16#${colour:0:2})); u8 0
done
# Rows bottom-up; transparent pixels are colour 0 in the colour bits and 1 in the mask.
for ((y = 31; y >= 0; y--)); do
    row=${rows[$y]//./0}
    for ((x = 0; x < 32; x += 2)); do
        u8 $(((16#${row:x:1} << 4) | 16#${row:x+1:1}))
    done
done
for ((y = 31; y >= 0; y--)); do
    row=${rows[$y]}
    for ((x = 0; x < 32; x += 8)); do
        bits=0
        for ((k = 0; k < 8; k++)); do
            [ "${row:x+k:1}" == "." ] && bits=$((bits | (128 >> k)))
        done
        u8 "$bits"
    done
done

printf '%b' "$bytes" >"$2.tmp"
mv "$2.tmp" "$2"
