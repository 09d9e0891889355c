#!/usr/bin/env bash
# The real program shows the main dialog once the caution has been answered with "continue", with
# its caption and every control where the template puts it, and "Close" ends the program. The
# folder holds the demo's catalogue and images; the NT path finds no drive, so the lists stay
# empty and the version static keeps its template text.
# shellcheck source=SCRIPTDIR/lib.sh
source "$(dirname "$0")/lib.sh" "$@"

caption="KORVIN CD-R/RW Drive Firmware Update Utility for SCSI/E-IDE Model"
picture=$E2E_TMP/main_dialog.bmp

put_demo_folder
e2e_log "starting Quillet.exe"
driver start "$(winpath "$PROGRAM_DIR/Quillet.exe")" "$(winpath "$PROGRAM_DIR")" \
    window QUILLET 60 click 2 window "$caption" 60 input 60 caption text 2 text 1008 controls \
    shot "$(winpath "$picture")" click 2 wait-exit 15 ||
    fail "the main dialog did not come up, or did not end on \"Close\""
e2e_log "dialog read and closed"
keep_picture "$picture" main_dialog

expect_equal "caption" "$caption" "${DRIVER_OUT[0]}"
expect_equal "button 2" "Close" "${DRIVER_OUT[1]}"
expect_equal "button 1008" "Update" "${DRIVER_OUT[2]}"
expect_equal "exit code" "0" "${DRIVER_OUT[-1]}"

# The controls, in template order. Positions are dialog units; a "-" height is not compared (a
# drop-down list's window is as high as its closed field). A style must show the "value" bits
# under "mask": child and visible, tab stop or group, and the kind (left or centred text, sunken
# frame, drop-down list, not sorted, push button whether or not it holds the default frame).
expected_controls=(
    # id   class             x    y    w    h    mask      value     text
    "2     Button            210  130  50   14   5001000E  50010000  Close"
    "1000  Static            7    7    83   12   5002101F  50021000  Target Drive[ENGLISH]"
    "1001  msctls_progress32 7    97   253  14   50000000  50000000  -"
    "1002  Static            7    37   129  12   5002101F  50021000  Current Firmware Version"
    "1003  Static            7    67   129  12   5002101F  50021000  Source Firmware Version"
    "1004  Static            147  36   38   12   5002101F  50021001  1.0q"
    "1006  ComboBox          105  7    155  -    50010103  50010003  -"
    "1007  ComboBox          147  67   113  -    50010103  50010003  -"
    "1008  Button            138  130  50   14   5001000E  50010000  Update"
)
controls=("${DRIVER_OUT[@]:3:${#DRIVER_OUT[@]}-4}")

# Pixels from dialog units, rounded as the dialog manager rounds (MulDiv).
to_pixels() {  # units base divisor
    echo $(( ($1 * $2 * 2 + $3) / ($3 * 2) ))
}

# The client area is 267 x 151 dialog units; the base units follow from its size in pixels.
IFS=$'\t' read -r label client_width client_height <<<"${controls[0]}"
expect_equal "first line of the control list" "client" "$label"
base_x=$(( (client_width * 8 + 267) / 534 ))
base_y=$(( (client_height * 16 + 151) / 302 ))
expect_equal "client area in pixels" \
    "$(to_pixels 267 "$base_x" 4) x $(to_pixels 151 "$base_y" 8)" "$client_width x $client_height"

expect_equal "number of controls" "${#expected_controls[@]}" "$(( ${#controls[@]} - 1 ))"
for i in "${!expected_controls[@]}"; do
    read -r id class x y w h mask value text <<<"${expected_controls[$i]}"
    [ "$text" == "-" ] && text=""
    IFS=$'\t' read -r got_id got_class got_x got_y got_w got_h got_style got_text \
        <<<"${controls[$i + 1]}"
    row="control $id"
    expect_equal "$row: position in template order" "$id" "$got_id"
    expect_equal "$row: class" "$class" "$got_class"
    expect_equal "$row: x" "$(to_pixels "$x" "$base_x" 4)" "$got_x"
    expect_equal "$row: y" "$(to_pixels "$y" "$base_y" 8)" "$got_y"
    expect_equal "$row: width" "$(to_pixels "$w" "$base_x" 4)" "$got_w"
    if [ "$h" != "-" ]; then
        expect_equal "$row: height" "$(to_pixels "$h" "$base_y" 8)" "$got_h"
    fi
    expect_equal "$row: style $got_style under mask $mask" \
        "$value" "$(printf '%08X' $(( 0x$got_style & 0x$mask )))"
    expect_equal "$row: text" "$text" "$got_text"
done

e2e_log "passed: caption, ${#expected_controls[@]} controls, picture $ARTEFACTS/main_dialog.png"
