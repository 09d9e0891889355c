#!/usr/bin/env bash
# One update at a time, by the real program under Wine with Windows 98 and the simulated
# WNASPI32.DLL (the demo's bus and catalogue):
#   1. the main dialog opens centred on the screen; moved away from the centre, it opens the start
#      confirmation and later the completion notice centred over itself;
#   2. with the confirmation up, "Update", another drive and "Close" of the main dialog are refused
#      (the driver's click finds them disabled) and a close request does not end the program;
#   3. while the drive programs its memory the main window answers within a second and is never
#      called hung, its bar advances, it refuses "Update", a close request and the end of the
#      session, and the update completes: the drive receives exactly one download.
# Pictures of the centred dialogs are kept in the test's artefacts.
# shellcheck source=SCRIPTDIR/lib.sh
source "$(dirname "$0")/lib.sh" "$@"

main="KORVIN CD-R/RW Drive Firmware Update Utility for SCSI/E-IDE Model"

quillet_windows_version win98
use_japanese_fonts
use_simulated_aspi
put_demo_folder

# Fails unless the window whose "X Y W H" is $2 lies centred over the one of $3 (to a pixel).
expect_centred() {  # what dialog-rect owner-rect
    local x y w h ox oy ow oh
    read -r x y w h <<<"$2"
    read -r ox oy ow oh <<<"$3"
    local dx=$(((2 * x + w) - (2 * ox + ow))) dy=$(((2 * y + h) - (2 * oy + oh)))
    if ((dx < -2 || dx > 2 || dy < -2 || dy > 2)); then
        fail "$1 at $2 is not centred over $3"
    fi
}

# Runs the driver with the given steps on the main window and fails unless it is refused because
# the control is disabled.
expect_refused() {  # what step...
    local what=$1
    shift
    if driver window "$main" 10 "$@"; then
        fail "$what was not refused"
    fi
    [[ $DRIVER_ERR == *disabled* ]] || fail "$what failed otherwise: $DRIVER_ERR"
}

# 1. The main dialog on the screen, then moved; the confirmation over it.
driver start "$quillet" "$folder" window QUILLET 60 click 2 window "$main" 30 input 60 \
    rect move 40 30 rect select 1006 0 click 1008 dialog 1009,1010 30 rect \
    shot "$(winpath "$E2E_TMP/confirmation.bmp")" || fail "the confirmation did not open"
keep_picture "$E2E_TMP/confirmation.bmp" start_confirmation_over_main
expect_centred "the main dialog" "${DRIVER_OUT[0]//$'\t'/ }" "0 0 1024 768"
main_rect=${DRIVER_OUT[1]//$'\t'/ }
expect_equal "the moved main dialog's corner" "40 30" "$(cut -d' ' -f1,2 <<<"$main_rect")"
expect_centred "the start confirmation" "${DRIVER_OUT[2]//$'\t'/ }" "$main_rect"
driver screen "$(winpath "$E2E_TMP/screen_confirmation.bmp")" || fail "no screen picture"
keep_picture "$E2E_TMP/screen_confirmation.bmp" screen_with_start_confirmation
e2e_log "main dialog centred, confirmation centred over it"

# 2. The main dialog refuses everything while the confirmation is up.
expect_refused '"Update" during the confirmation' click 1008
expect_refused 'another drive during the confirmation' select 1006 1
expect_refused '"Close" during the confirmation' click 2
driver window "$main" 10 close || fail "cannot send a close request"
driver dialog 1009,1010 10 click 1 || fail "the confirmation is gone after a close request"
e2e_log "Update, drive list, Close refused; close request ignored; update confirmed"

# 3. The programming wait (it begins once the blocks are sent and the bar has moved): answering,
# advancing, refusing to close.
for ((tries = 0; ; ++tries)); do
    driver window "$main" 10 position 1001 || fail "the bar cannot be read"
    ((DRIVER_OUT[0] > 0)) && break
    ((tries < 60)) || fail "the bar did not move within a minute"
    sleep 0.5
done
positions=()
for probe in 1 2 3 4 5 6; do
    driver window "$main" 10 responds position 1001 close end-session ||
        fail "the main window did not answer during the update (probe $probe)"
    positions+=("${DRIVER_OUT[0]}")
    expect_equal "end of the session during the update" "0" "${DRIVER_OUT[1]}"
    sleep 1
done
expect_refused '"Update" during the download' click 1008
driver window "$main" 10 snap "$(winpath "$E2E_TMP/during.bmp")" || fail "no picture during"
keep_picture "$E2E_TMP/during.bmp" main_during_update
e2e_log "bar during the update: ${positions[*]}"
for ((i = 1; i < ${#positions[@]}; ++i)); do
    ((positions[i] >= positions[i - 1])) || fail "the bar went back: ${positions[*]}"
done
((positions[-1] > positions[0])) || fail "the bar did not advance: ${positions[*]}"

driver dialog 1 90 rect shot "$(winpath "$E2E_TMP/completion.bmp")" ||
    fail "no completion notice"
keep_picture "$E2E_TMP/completion.bmp" completion_over_main
expect_centred "the completion notice" "${DRIVER_OUT[0]//$'\t'/ }" "$main_rect"
driver dialog 1 10 click 1 || fail "the completion notice could not be closed"
# The main dialog takes input again once the command has ended, just after the notice closes.
driver window "$main" 10 input 60 click 2 wait-exit 15 ||
    fail "the main dialog did not take input again after the update, or did not end on Close"
expect_equal "exit code" "0" "${DRIVER_OUT[-1]}"

closing=$(grep -cE '^[0-9]+ 3B 05 .* none 0 GOOD$' "$PROGRAM_DIR/Drive0.LOG" || true)
expect_equal "closing WRITE BUFFER commands (downloads) to the MTX5160E" "1" "$closing"
expect_equal "WRITE BUFFER commands to the CDRW-8432" "0" \
    "$(cat "$PROGRAM_DIR/Drive1.LOG" 2>/dev/null | grep -cE '^[0-9]+ 3B ' || true)"
cp "$PROGRAM_DIR"/Drive*.LOG "$ARTEFACTS/"
e2e_log "passed: one download, dialogs centred, window answering throughout"
