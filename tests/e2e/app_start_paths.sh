#!/usr/bin/env bash
# How the real program starts on each platform path, with the demo's catalogue and the simulated
# WNASPI32.DLL beside it:
#   4. the NT family (the prefix's own Windows version): the caution at once, then a main dialog
#      with empty lists, the template's version, "Update" enabled, no message box, and the ASPI
#      library never asked (no journal);
#   5. German on the Windows 9x path: the main dialog's labels in German, its caption and buttons
#      in English, the drives of the simulated bus listed.
# shellcheck source=SCRIPTDIR/lib.sh
source "$(dirname "$0")/lib.sh" "$@"

main="KORVIN CD-R/RW Drive Firmware Update Utility for SCSI/E-IDE Model"

put_demo_folder
use_simulated_aspi

# 4. The NT family: pass-through finds none of the maker's drives under Wine.
quillet_windows_version default
driver start "$quillet" "$folder" window QUILLET 60 caption text 1 text 2 click 2 \
    window "$main" 30 entries 1006 entries 1007 text 1004 \
    shot "$(winpath "$E2E_TMP/nt.bmp")" || fail "the NT start did not go as expected"
keep_picture "$E2E_TMP/nt.bmp" main_nt_without_drives
expect_equal "caution" "QUILLET|Exit|continue" "${DRIVER_OUT[0]}|${DRIVER_OUT[1]}|${DRIVER_OUT[2]}"
expect_equal "lists and version" "0|0|1.0q" "${DRIVER_OUT[3]}|${DRIVER_OUT[4]}|${DRIVER_OUT[5]}"
# Any message box would be a window of its own, under the program's title or "Error".
for title in Quillet Error; do
    if driver window "$title" 1 2>/dev/null; then
        fail "a message box \"$title\" is open"
    fi
done
driver window "$main" 10 input 60 click 2 wait-exit 15 ||
    fail "the main dialog did not end on \"Close\""
expect_equal "exit code" "0" "${DRIVER_OUT[-1]}"
ls "$PROGRAM_DIR"/Drive*.LOG >/dev/null 2>&1 && fail "the NT path asked the ASPI library"
e2e_log "NT family: caution, empty lists, no message"

# 5. German on the Windows 9x path.
quillet_windows_version win98
picture=$E2E_TMP/german.bmp
driver_in de_DE.UTF-8 start "$quillet" "$folder" window QUILLET 60 text 1 text 2 click 2 \
    window "$main" 30 input 60 caption text 1000 text 1002 text 1003 text 2 text 1008 entries 1006 \
    shot "$(winpath "$picture")" click 2 wait-exit 15 ||
    fail "the German start did not go as expected"
keep_picture "$picture" main_german
expect_equal "caution buttons" "Exit|continue" "${DRIVER_OUT[0]}|${DRIVER_OUT[1]}"
expect_equal "caption" "$main" "${DRIVER_OUT[2]}"
expect_equal "labels" "Ziel-Laufwerk|Aktuelle Firmware Version|Neue-Firmware Version" \
    "${DRIVER_OUT[3]}|${DRIVER_OUT[4]}|${DRIVER_OUT[5]}"
expect_equal "buttons" "Close|Update" "${DRIVER_OUT[6]}|${DRIVER_OUT[7]}"
expect_equal "drives" "2|HA#0 ID#1:KORVIN   MTX5160E        |HA#0 ID#2:KORVIN   CDRW-8432       " \
    "${DRIVER_OUT[8]}|${DRIVER_OUT[9]}|${DRIVER_OUT[10]}"
expect_equal "exit code" "0" "${DRIVER_OUT[-1]}"
e2e_log "passed: NT start without drives, German labels with English buttons"
