#!/usr/bin/env bash
# The NT path with real window controls over simulated volumes (dialogshow main-nt: drive F: is
# the maker's CDRW-8432): a FILENAME with a name outside ASCII, written in the user's ANSI code
# page as Windows users write tarvex.ini, is listed as the user reads it and opens that very file
# for the update. "Ü" under German (code page 1252), a Japanese name under Japanese (932).
# shellcheck source=SCRIPTDIR/lib.sh
source "$(dirname "$0")/lib.sh" "$@"

main="KORVIN CD-R/RW Drive Firmware Update Utility for SCSI/E-IDE Model"
# The product code of the simulated CDRW-8432, as a PRODUCT_ID.
cdrw_id=$(bash "$(dirname "$0")/../../scripts/demo/make-folder.sh" --encode 0x340000)
image=$E2E_TMP/image.bin
image_size=70000
head -c $image_size < <(yes 'CDRW-8432 firmware behind a name outside ASCII ') >"$image"

while read -r language locale codepage name; do
    locale -a | grep -qx "${locale%.UTF-8}.utf8" ||
        fail "$language: no locale $locale here; Wine needs it to read UTF-8 file names" \
            "(scripts/install-deps.sh generates it)"
    rm -f "$PROGRAM_DIR"/*.bin "$PROGRAM_DIR"/*.BIN "$PROGRAM_DIR"/*.ini "$PROGRAM_DIR/RECEIVED.IMG"
    # In a UTF-8 locale Wine shows Unix file names to Windows programs as the characters they spell.
    cp "$image" "$PROGRAM_DIR/$name"
    printf '[MAIN]\r\nDEVICE_NUM=1\r\n[DEVICE0]\r\nPRODUCT_NUM=1\r\nPRODUCT0=CDRW-8432\r\nFILE_NUM=1\r\nFILENAME0=1.2b %s\r\nPRODUCT_ID=%s\r\n' \
        "$name" "$cdrw_id" | iconv -f UTF-8 -t "$codepage" >"$PROGRAM_DIR/tarvex.ini" ||
        fail "$language: cannot write the catalogue in $codepage"
    [ "$language" = japanese ] && use_japanese_fonts
    driver_in "$locale" start-with "$dialogshow" main-nt "$folder" window QUILLET 60 click 2 \
        window "$main" 30 input 60 entries 1006 entries 1007 click 1008 \
        dialog 1009,1010 30 click 1 ||
        fail "$language: the update did not start"
    expect_equal "$language: lists" "1|F:  KORVIN  CDRW-8432       |1|1.2b $name" \
        "${DRIVER_OUT[0]}|${DRIVER_OUT[1]}|${DRIVER_OUT[2]}|${DRIVER_OUT[3]}"
    # The completion notice (a message box such as "Firmware file open error !" has an OK
    # button too), then "Close" once the main dialog takes input again.
    driver_in "$locale" dialog 1 120 caption shot "$(winpath "$E2E_TMP/after.bmp")" ||
        fail "$language: no completion notice"
    keep_picture "$E2E_TMP/after.bmp" "after_update_$language"
    expect_equal "$language: caption of the dialog after the update (the completion notice has none)" \
        "" "${DRIVER_OUT[0]}"
    driver_in "$locale" dialog 1 10 click 1 window "$main" 10 input 30 click 2 wait-exit 60 ||
        fail "$language: the program did not end after the update"
    expect_equal "$language: exit code (download complete)" "0" "${DRIVER_OUT[-1]}"
    # The drive receives the image padded with zeros to whole 2048-byte units.
    cp "$image" "$E2E_TMP/expected.img"
    truncate -s $(((image_size + 2047) / 2048 * 2048)) "$E2E_TMP/expected.img"
    cmp -s "$E2E_TMP/expected.img" "$PROGRAM_DIR/RECEIVED.IMG" ||
        fail "$language: the drive did not receive the bytes of $name"
    e2e_log "$language: listed and sent \"$name\""
done <<'CASES'
german   de_DE.UTF-8 CP1252 Ü8432.BIN
japanese ja_JP.UTF-8 CP932  ファーム.BIN
CASES
e2e_log "passed: non-ASCII FILENAME listed and opened on the NT path"
