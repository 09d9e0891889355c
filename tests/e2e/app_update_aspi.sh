#!/usr/bin/env bash
# The whole update on the Windows 9x path, by the real program under Wine with Windows 98 and the
# simulated WNASPI32.DLL serving the demo's bus (two of the maker's drives and one of another
# vendor) and catalogue:
#   1. "continue" in the caution, the two drives listed, the tagged MTX5160E chosen with its
#      version and firmware shown, "Update", OK in the start confirmation, the completion notice
#      with its three red lines, the bar back at 0, and in the drive's journal exactly the WRITE
#      BUFFER commands for the drive's section of the image from the decoded product code on;
#   2. the same with a disc in the drive: the disc message, the tray opened, nothing written;
#   3. the CDRW-8432, whose offered firmware is older than its own: "Cancel" in the old-version
#      question sends nothing.
# shellcheck source=SCRIPTDIR/lib.sh
source "$(dirname "$0")/lib.sh" "$@"

main="KORVIN CD-R/RW Drive Firmware Update Utility for SCSI/E-IDE Model"
demo=$(dirname "$0")/../../scripts/demo/make-folder.sh

quillet_windows_version win98
use_japanese_fonts
use_simulated_aspi
put_demo_folder

# The WRITE BUFFER lines a download of LENGTH bytes from CODE on gives: blocks of 16384 bytes,
# the last padded to a multiple of 2048, then the zero-length closing command.
write_buffers() {  # code length
    local offset=$1 left=$2 data sent
    while ((left > 0)); do
        data=$((left < 16384 ? left : 16384))
        sent=$(((data + 2047) / 2048 * 2048))
        printf '3B 05 00 %02X %02X %02X %02X %02X %02X 00 out %d GOOD\n' \
            $((offset >> 16 & 255)) $((offset >> 8 & 255)) $((offset & 255)) \
            $((sent >> 16 & 255)) $((sent >> 8 & 255)) $((sent & 255)) "$sent"
        offset=$((offset + sent))
        left=$((left - data))
    done
    printf '3B 05 00 %02X %02X %02X 00 00 00 00 none 0 GOOD\n' \
        $((offset >> 16 & 255)) $((offset >> 8 & 255)) $((offset & 255))
}

# Journal lines of a drive without their numbers; WRITE BUFFER (3B) ones only with "3B".
journal() {  # drive [3B]
    local log=$PROGRAM_DIR/Drive$1.LOG
    [ -f "$log" ] || return 0
    if [ "${2:-}" = 3B ]; then
        grep -E '^[0-9]+ 3B ' "$log" | cut -d' ' -f2- || true
    else
        cut -d' ' -f2- "$log"
    fi
}

# What the drive must receive: section A of the tagged image (its tag is the drive's), from the
# product code of DEVICE0, decoded from the catalogue's PRODUCT_ID.
image=$PROGRAM_DIR/MTX5160.BIN
section_length=$(od -An -tu1 -N4 "$image" | awk '{ print (($1 * 256 + $2) * 256 + $3) * 256 + $4 }')
product_id=$(sed -n 's/^PRODUCT_ID=\([^\r]*\)\r*$/\1/p' "$PROGRAM_DIR/tarvex.ini" | head -n 1)
code=$(bash "$demo" --decode "$product_id")
e2e_log "image section of $section_length bytes, product code $(printf '0x%06X' "$code")"

# 1. A whole update of the tagged drive.
during=$E2E_TMP/during.bmp
driver start "$quillet" "$folder" window QUILLET 60 click 2 window "$main" 30 \
    input 60 select 1006 0 entries 1006 text 1004 entries 1007 \
    shot "$(winpath "$E2E_TMP/main.bmp")" click 1008 dialog 1009,1010 30 text 1009 click 1 ||
    fail "the update could not be started"
keep_picture "$E2E_TMP/main.bmp" main_before_update
expect_equal "drive list" "2|HA#0 ID#1:KORVIN   MTX5160E        |HA#0 ID#2:KORVIN   CDRW-8432       " \
    "${DRIVER_OUT[0]}|${DRIVER_OUT[1]}|${DRIVER_OUT[2]}"
expect_equal "version of the MTX5160E" "1.0q" "${DRIVER_OUT[3]}"
expect_equal "firmware offered" "1|1.1a MTX5160.BIN" "${DRIVER_OUT[4]}|${DRIVER_OUT[5]}"
expect_equal "start confirmation" \
    'Press [OK] to start installation.\n\nDo not turn off computer while the LEDs blinking.' \
    "${DRIVER_OUT[6]}"
e2e_log "update confirmed"

# The main dialog while the drive programs its memory (the window is busy: no waiting for paint).
sleep 5
driver window "$main" 10 snap "$(winpath "$during")" || fail "no picture during the update"
keep_picture "$during" main_during_update

completion=$E2E_TMP/completion.bmp
driver dialog 1 90 caption text 1 controls shot "$(winpath "$completion")" ||
    fail "no completion notice"
keep_picture "$completion" completion
expect_equal "completion caption and button" "|OK" "${DRIVER_OUT[0]}|${DRIVER_OUT[1]}"
IFS=$'\t' read -r _ client_width _ <<<"${DRIVER_OUT[2]}"
completion_line_steps "$client_width"
driver dialog 1 10 "${COMPLETION_STEPS[@]}" click 1 window "$main" 10 input 60 position 1001 \
    text 1004 entries 1007 shot "$(winpath "$E2E_TMP/after.bmp")" click 2 wait-exit 15 ||
    fail "the completion notice or the main dialog after it could not be read"
keep_picture "$E2E_TMP/after.bmp" main_after_update
check_completion_lines "completion notice" 0
expect_equal "progress bar after the update" "0" "${DRIVER_OUT[5]}"
expect_equal "version shown after the update" "1.0q" "${DRIVER_OUT[6]}"
expect_equal "firmware offered after the update" "1|1.1a MTX5160.BIN" \
    "${DRIVER_OUT[7]}|${DRIVER_OUT[8]}"
expect_equal "exit code" "0" "${DRIVER_OUT[-1]}"

expect_equal "WRITE BUFFER commands" "$(write_buffers "$code" "$section_length")" "$(journal 0 3B)"
expected_image=$E2E_TMP/expected.img
head -c "$section_length" "$image" >"$expected_image"
truncate -s $(((section_length + 2047) / 2048 * 2048)) "$expected_image"
cmp -s "$expected_image" "$PROGRAM_DIR/Drive0.IMG" ||
    fail "the drive did not receive the MTX5160E section, padded"
expect_equal "WRITE BUFFER commands to the CDRW-8432" "" "$(journal 1 3B)"
cp "$PROGRAM_DIR"/Drive*.LOG "$ARTEFACTS/"
e2e_log "update: $(journal 0 3B | wc -l) WRITE BUFFER commands, image received"

# 2. A disc in the drive: the message, the tray opened (START STOP UNIT eject), nothing written.
rm -f "$PROGRAM_DIR"/Drive*.LOG "$PROGRAM_DIR"/Drive*.IMG
# After the section's head, whatever its line end (a release's file has CR LF).
sed -i 's/^\[Drive0\]\r\?$/&\nDisc=1/' "$PROGRAM_DIR/WNASPI32.CFG"
driver start "$quillet" "$folder" window QUILLET 60 click 2 window "$main" 30 input 60 \
    select 1006 0 click 1008 dialog 1009,1010 30 click 1 window error 60 controls \
    shot "$(winpath "$E2E_TMP/disc.bmp")" click 1 window "$main" 10 input 60 position 1001 \
    click 2 wait-exit 15 || fail "the update with a disc did not go as expected"
keep_picture "$E2E_TMP/disc.bmp" disc_message
printf '%s\n' "${DRIVER_OUT[@]}" | grep -q $'\tEject the disc from the drive.$' ||
    fail "no disc message: ${DRIVER_OUT[*]}"
expect_equal "progress bar after the disc message" "0" "${DRIVER_OUT[-2]}"
journal 0 | grep -q '^1B 00 00 00 02 00 ' || fail "the tray was not opened: $(journal 0)"
expect_equal "WRITE BUFFER commands with a disc" "" "$(journal 0 3B)"
[ ! -e "$PROGRAM_DIR/Drive0.IMG" ] || fail "a drive with a disc received an image"
e2e_log "disc in the drive: message, tray opened, nothing written"

# 3. Older firmware offered: "Cancel" in the old-version question, and nothing is sent.
put_demo_folder
rm -f "$PROGRAM_DIR"/Drive*.LOG "$PROGRAM_DIR"/Drive*.IMG
driver start "$quillet" "$folder" window QUILLET 60 click 2 window "$main" 30 input 60 \
    select 1006 1 text 1004 entries 1007 || fail "the CDRW-8432 could not be chosen"
expect_equal "version and firmware of the CDRW-8432" "1.1a|1|1.0r CDRW8432.BIN" \
    "${DRIVER_OUT[0]}|${DRIVER_OUT[1]}|${DRIVER_OUT[2]}"
before=$(journal 1)
driver window "$main" 10 input 60 click 1008 dialog 1011 30 text 1011 click 2 \
    window "$main" 10 input 60 position 1001 click 2 wait-exit 15 || fail "the old-version question did not go as expected"
expect_equal "old-version question" 'The version is old.\n\nDo you still want to continue?' \
    "${DRIVER_OUT[0]}"
expect_equal "progress bar after Cancel" "0" "${DRIVER_OUT[1]}"
expect_equal "journal of the CDRW-8432 after Cancel" "$before" "$(journal 1)"
e2e_log "passed: update, disc, old version cancelled"
