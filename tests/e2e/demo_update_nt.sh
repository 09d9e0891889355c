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

# 1, 2. The CDRW-8432 and the MTX5160E (the NT family's list shows the highest letter first:
# the CDRW-8432 on E: is its entry 1).
demo_whole_updates nt 1

# 3. A disc in the MTX5160E: the disc message, then the stop.
demo_disc_update
answer_message "disc" error "Eject the disc from the drive." nt_disc_1_message
answer_message "disc" Error "This operation was stopped!!" nt_disc_2_stopped
demo_disc_checked nt
e2e_log "passed: two whole updates and a disc on the NT family's path"
