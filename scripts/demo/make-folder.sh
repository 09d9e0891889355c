#!/usr/bin/env bash
# Writes the demo's sample files into FOLDER (made if missing), all generated here so the
# repository holds no binary files:
#   tarvex.ini     two device sections: the tagged MTX5160 family and the CDRW-8432, each with
#                  FILENAME entries of which one names an image that is not there, and each with
#                  its product code encoded as a PRODUCT_ID
#   MTX5160.BIN    an image with two tagged sections (MTX5160E first, then MTX5160S)
#   CDRW8432.BIN   a plain image, sent whole
#   WNASPI32.CFG   the simulated drives: MTX5160E at 0:1 and on F:, CDRW-8432 at 0:2 and on E:,
#                  and one drive of another vendor at 0:4 and on D: (for QuilletDemo.exe, and for
#                  the simulated WNASPI32.DLL of the tests, which comes from the build)
# Every value the program and the simulated drives must agree on is set once, below.
#
# usage: make-folder.sh FOLDER
#        make-folder.sh --encode CODE     prints the PRODUCT_ID text of CODE (decimal or 0x..)
#        make-folder.sh --decode TEXT     prints the code a PRODUCT_ID text stands for
set -euo pipefail

# The decoding key: the character of digit d at position p is key[p] + 16 - d.
readonly key='@KESTRUM'

# Product codes: where each family's download starts. Image and code together stay below the
# 24-bit offset limit of WRITE BUFFER.
readonly mtx_code=0x200000
readonly cdrw_code=0x340000
# Section lengths of the tagged image and the length of the plain one, in bytes.
readonly mtx_e_length=40000
readonly mtx_s_length=50000
readonly cdrw_length=70000

ord() { printf '%d' "'$1"; }
# The character of a byte value: its octal escape is the format printf turns into the byte.
# shellcheck disable=SC2059
chr() { printf "\\$(printf '%03o' "$1")"; }

encode_product_id() {  # code
    local code=$(($1)) text="" p digit
    for ((p = 0; p < 8; p++)); do
        digit=$(((code >> (4 * (7 - p))) & 15))
        text+=$(chr $(($(ord "${key:p:1}") + 16 - digit)))
    done
    printf '%s' "$text"
}

# The program's decoding rule: one hexadecimal digit a character, at most eight, ending at the
# end of the text or at white space; fails on a character out of its key character's range.
decode_product_id() {  # text
    local text=$1 value=0 p distance
    for ((p = 0; p < ${#text}; p++)); do
        [[ ${text:p:1} == [[:space:]] ]] && break
        ((p < 8)) || return 1
        distance=$(($(ord "${text:p:1}") - $(ord "${key:p:1}")))
        ((distance >= 1 && distance <= 16)) || return 1
        value=$(((value * 16 + 16 - distance) & 0xFFFFFFFF))
    done
    printf '%d' "$value"
}

# The PRODUCT_ID of a code, checked to decode back to it.
product_id() {  # code
    local text decoded
    text=$(encode_product_id "$1")
    decoded=$(decode_product_id "$text") || {
        echo "make-folder: $text does not decode" >&2
        return 1
    }
    if ((decoded != $1)); then
        echo "make-folder: $text decodes to $decoded, not $(($1))" >&2
        return 1
    fi
    printf '%s' "$text"
}

# The 4-byte big-endian length field of an image section.
length_field() {  # length
    local n=$1 shift
    for shift in 24 16 8 0; do
        chr $(((n >> shift) & 255))
    done
}

# One image section: length field, 8-character tag, then payload text up to the length.
section() {  # length tag
    length_field "$1"
    printf '%-8.8s' "$2"
    head -c $(($1 - 12)) < <(yes "$2 demo firmware section ")
}

case "${1:-}" in
    --encode)
        product_id "$2"
        echo
        exit 0
        ;;
    --decode)
        decode_product_id "$2"
        echo
        exit 0
        ;;
    "" | -*)
        echo "usage: $0 FOLDER | --encode CODE | --decode TEXT" >&2
        exit 2
        ;;
esac

folder=$1
mkdir -p "$folder"
# Byte-exact output whatever the caller's locale.
export LC_ALL=C

{
    section "$mtx_e_length" MTX5160E
    section "$mtx_s_length" MTX5160S
} >"$folder/MTX5160.BIN"
head -c "$cdrw_length" < <(yes 'CDRW-8432 demo firmware, plain image ') >"$folder/CDRW8432.BIN"

mtx_id=$(product_id "$mtx_code")
cdrw_id=$(product_id "$cdrw_code")
# Profile files are read as Windows writes them: CR LF line ends.
sed 's/$/\r/' >"$folder/tarvex.ini" <<INI
; Quillet demo catalogue. M5160OLD.BIN and CDRW843N.BIN are not in the folder: the Windows 9x
; list leaves them out, the NT list shows them.
[MAIN]
DEVICE_NUM=2

[DEVICE0]
PRODUCT_NUM=2
PRODUCT0=MTX5160E
PRODUCT1=MTX5160S
FILE_NUM=2
FILENAME0=1.0p M5160OLD.BIN
FILENAME1=1.1a MTX5160.BIN
PRODUCT_ID=$mtx_id

[DEVICE1]
PRODUCT_NUM=1
PRODUCT0=CDRW-8432
FILE_NUM=2
FILENAME0=1.0r CDRW8432.BIN
FILENAME1=1.2b CDRW843N.BIN
PRODUCT_ID=$cdrw_id
INI

cat >"$folder/WNASPI32.CFG" <<CFG
; The demo's simulated drives: two of the maker's and one of another vendor, each on the SCSI
; bus (the Windows 9x family's ASPI path) and on a drive letter (the NT family's pass-through).
[ASPI]
Adapters=1
Drives=3

[Adapter0]
ScsiId=7

[Drive0]
Target=1
Letter=F
Product=MTX5160E
Revision=1.0q
Tag=MTX5160E
ProductCode=$mtx_code

; offered firmware 1.0r is older than its 1.1a: the update asks first
[Drive1]
Target=2
Letter=E
Product=CDRW-8432
Revision=1.1a
ProductCode=$cdrw_code

; not the maker's: never listed
[Drive2]
Target=4
Letter=D
Vendor=OTHERCO
Product=DVD-ROM 16X
Revision=2.00
CFG
