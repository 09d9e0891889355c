#!/usr/bin/env bash
# The demo program's whole update on the NT family's path: QuilletDemo.exe under Wine with the
# prefix's own Windows version, its drives those of the sample WNASPI32.CFG on their letters, and
# no WNASPI32.DLL anywhere. Through the real windows, timers and message loop:
#   1. the CDRW-8432 (E:), whose offered firmware is older than its own: "Continue" in the
#      old-version question, then the whole update; the drive keeps the image;
#   2. the tagged MTX5160E (F:): the whole update, no question; the drive keeps its section;
#   3. the MTX5160E with a disc in it (Disc=1): the disc message, then "This operation was
#      stopped!!", the tray opened, nothing written.
# Each drive's journal is the unit tests' whole-flow table for the case, command for command.
# shellcheck source=SCRIPTDIR/lib.sh
source "$(dirname "$0")/lib.sh" "$@"

quillet_windows_version default
use_japanese_fonts
put_demo_folder
[ -z "$(find "$PROGRAM_DIR" -iname 'wnaspi32.dll')" ] || fail "a WNASPI32.DLL beside the demo"
read_demo_values

# 1. The CDRW-8432: the list shows the highest letter first, and the NT family's firmware list
# every FILENAME value of its device, the last first.
demo_update nt_cdrw8432 1 1 1
expect_equal "CDRW-8432: version and firmware shown" "1.1a|1.0r CDRW8432.BIN" "$DEMO_SHOWN"
expect_journal "CDRW-8432" 1 nt updated plain "$CDRW_CODE" "$CDRW_LENGTH"
expect_image "CDRW-8432" 1 CDRW8432.BIN "$CDRW_LENGTH"
expect_journal "MTX5160E, not chosen" 0 nt untouched tagged "$MTX_CODE" "$MTX_LENGTH"
expect_journal "the other vendor's drive" 2 nt untouched plain 0 0
cp "$PROGRAM_DIR/Drive1.LOG" "$ARTEFACTS/nt_cdrw8432_Drive1.LOG"
e2e_log "CDRW-8432 updated; its journal is the table's"

# 2. The MTX5160E.
forget_drives
demo_update nt_mtx5160e 0 0 0
expect_equal "MTX5160E: version and firmware shown" "1.0q|1.1a MTX5160.BIN" "$DEMO_SHOWN"
expect_journal "MTX5160E" 0 nt updated tagged "$MTX_CODE" "$MTX_LENGTH"
expect_image "MTX5160E" 0 MTX5160.BIN "$MTX_LENGTH"
expect_journal "CDRW-8432, not chosen" 1 nt untouched plain "$CDRW_CODE" "$CDRW_LENGTH"
cp "$PROGRAM_DIR/Drive0.LOG" "$ARTEFACTS/nt_mtx5160e_Drive0.LOG"
e2e_log "MTX5160E updated; its journal is the table's"

# 3. A disc in the MTX5160E.
forget_drives
configure_drive 0 Disc=1
driver start "$quillet" "$folder" window QUILLET 60 click 2 window "$DEMO_MAIN" 30 input 60 \
    select 1006 0 click 1008 dialog 1009,1010 30 click 1 ||
    fail "the update with a disc could not be started"
answer_message "disc" error "Eject the disc from the drive." nt_disc_1_message
answer_message "disc" Error "This operation was stopped!!" nt_disc_2_stopped
driver window "$DEMO_MAIN" 10 input 60 position 1001 click 2 wait-exit 15 ||
    fail "the main dialog after the disc message could not be read or closed"
expect_equal "progress bar after the disc message" "0" "${DRIVER_OUT[0]}"
expect_journal "MTX5160E with a disc" 0 nt disc tagged "$MTX_CODE" "$MTX_LENGTH"
[ ! -e "$PROGRAM_DIR/Drive0.IMG" ] || fail "a drive with a disc kept an image"
e2e_log "passed: two whole updates and a disc on the NT family's path"
