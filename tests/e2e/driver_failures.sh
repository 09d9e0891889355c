#!/usr/bin/env bash
# The checks of the other tests can fail: the driver reports a missing dialog, a wrong caption, a
# missing control and a program that does not end, each within its time limit, with a non-zero
# exit code and a one-line message.
# shellcheck source=SCRIPTDIR/lib.sh
source "$(dirname "$0")/lib.sh" "$@"

caption="KORVIN CD-R/RW Drive Firmware Update Utility for SCSI/E-IDE Model"

# Runs the driver with the given steps and asserts that it fails with the exit code, within the
# seconds, with a message matching the pattern.
expect_failure() {  # name code seconds pattern steps...
    local name=$1 code=$2 seconds=$3 pattern=$4
    shift 4
    local begin=${EPOCHREALTIME//[!0-9]/} rc=0
    driver "$@" 2>/dev/null || rc=$?
    local took=$(( (${EPOCHREALTIME//[!0-9]/} - begin) / 1000 ))
    expect_equal "$name: exit code" "$code" "$rc"
    grep -q -E "^uidriver: .*$pattern" <<<"$DRIVER_ERR" ||
        fail "$name: no message matching \"$pattern\" in \"$DRIVER_ERR\""
    (( took <= seconds * 1000 )) || fail "$name: took $took ms, more than $seconds s"
    e2e_log "$name: failed as it should in $took ms: $DRIVER_ERR"
}

# A catalogue beside the program, so its start shows no warning; the caution is answered first.
put_demo_folder
e2e_log "starting Quillet.exe"
driver start "$(winpath "$PROGRAM_DIR/Quillet.exe")" "$(winpath "$PROGRAM_DIR")" \
    window QUILLET 60 click 2 window "$caption" 60 || fail "the main dialog did not come up"

# The main dialog is open from here on; a limit of 3 s bounds each wait, the rest is Wine's start.
expect_failure "caption that is only a prefix" 1 15 "no window titled" \
    window "KORVIN CD-R/RW Drive Firmware Update Utility" 3
expect_failure "caption of another language's dialog" 1 15 "no window titled" \
    window "QUILLET" 3
expect_failure "dialog lacking a control" 1 15 "no window with controls" \
    dialog 2,1008,1009 3
# The driver itself, with no steps, stands for a program that shows no dialog: the wait ends as
# soon as the program has ended, although the right dialog of another program is open.
expect_failure "program without a dialog" 1 15 "ended before" \
    start "$(winpath "$UIDRIVER")" "$(winpath "$PROGRAM_DIR")" window "$caption" 30
expect_failure "control missing" 1 15 "no control 1005" \
    window "$caption" 3 text 1005
expect_failure "program still running" 1 15 "did not end within 3 s" \
    window "$caption" 3 wait-exit 3
expect_failure "malformed step" 2 15 "not a control id" \
    window "$caption" 3 click Close

driver dialog 2,1008 10 input 60 click 2 wait-exit 15 || fail "\"Close\" did not end the program"
e2e_log "passed"
