#!/usr/bin/env bash
# The download's failures that a user meets in a window on the NT family's path, once each, by the
# demo program under Wine with the prefix's own Windows version, updating the CDRW-8432 (E:) of
# the sample folder after "Continue" in its old-version question:
#   1. the media change notification not switched off (RefuseMediaChange=off): "Media change
#      notification error !", then "This operation was stopped!!"; nothing written;
#   2. the second block refused (Fault1=check 15 3B: the search's INQUIRY and twelve looks come
#      first): "Firmware write error !", then "This operation was stopped!!";
#   3. a file exception: the image's first byte cannot be read (CDRW8432.BIN is the kernel's
#      memory file of the process that opens it, which holds nothing at address 0, so the read
#      fails in the file system): "Firmware file name error !: File i/o error.", then "This
#      operation was stopped!!"; the drive gets nothing after the start's INQUIRY.
# Each time the two boxes carry the caption "Error", the bar is back at 0, the drive's journal is
# the unit tests' whole-flow table for the case, and it keeps no image.
# shellcheck source=SCRIPTDIR/lib.sh
source "$(dirname "$0")/lib.sh" "$@"

quillet_windows_version default
put_demo_folder
read_demo_values

# One update of the CDRW-8432 that ends in MESSAGE and the stop; its journal is expectjournal's
# for ENDING.
failing_update() {  # name message ending
    driver start "$quillet" "$folder" window QUILLET 60 click 2 window "$DEMO_MAIN" 30 input 60 \
        select 1006 1 select 1007 1 click 1008 dialog 1011 30 click 1 dialog 1009,1010 30 \
        click 1 || fail "$1: the update could not be started"
    answer_message "$1" Error "$2" "${1}_1_message"
    answer_message "$1" Error "This operation was stopped!!" "${1}_2_stopped"
    driver window "$DEMO_MAIN" 10 input 60 position 1001 click 2 wait-exit 15 ||
        fail "$1: the main dialog after the messages could not be read or closed"
    expect_equal "$1: progress bar afterwards" "0" "${DRIVER_OUT[0]}"
    expect_journal "$1" 1 nt "$3" plain "$CDRW_CODE" "$CDRW_LENGTH"
    [ ! -e "$PROGRAM_DIR/Drive1.IMG" ] || fail "$1: the drive kept an image"
    cp "$PROGRAM_DIR/Drive1.LOG" "$ARTEFACTS/${1}_Drive1.LOG"
    e2e_log "$1: \"$2\", then stopped; the journal is the table's"
}

# 1. The notification switch refused.
forget_drives
configure_drive 1 RefuseMediaChange=off
failing_update switch_refused "Media change notification error !" switch-refused

# 2. A refused block.
put_demo_folder
forget_drives
configure_drive 1 "Fault1=check 15 3B"
failing_update block_refused "Firmware write error !" block-refused=2

# 3. A file exception.
put_demo_folder
forget_drives
ln -sf /proc/self/mem "$PROGRAM_DIR/CDRW8432.BIN"
failing_update file_exception "Firmware file name error !: File i/o error." header-unread
e2e_log "passed: notification switch refused, block refused, file exception"
