#!/usr/bin/env bash
# The demo program's whole update on the Windows 9x family's path: QuilletDemo.exe under Wine with
# Windows 98, its drives those of the sample WNASPI32.CFG on the simulated SCSI bus, served in
# process (no WNASPI32.DLL anywhere). Through the real windows, timers and message loop:
#   1. the CDRW-8432 (HA#0 ID#2), whose offered firmware is older than its own: "Continue" in the
#      old-version question, then the whole update; the drive keeps the image;
#   2. the tagged MTX5160E (HA#0 ID#1): the whole update, no question; the drive keeps its section;
#   3. the MTX5160E with a disc in it (Disc=1): the disc message, the tray opened, nothing written.
# Each drive's journal is the unit tests' whole-flow table for the case, command for command.
# shellcheck source=SCRIPTDIR/lib.sh
source "$(dirname "$0")/lib.sh" "$@"

quillet_windows_version win98
use_japanese_fonts
put_demo_folder
[ -z "$(find "$PROGRAM_DIR" -iname 'wnaspi32.dll')" ] || fail "a WNASPI32.DLL beside the demo"
read_demo_values

# 1, 2. The CDRW-8432 and the MTX5160E.
demo_whole_updates aspi 0

# 3. A disc in the MTX5160E: the ASPI side's one message, without a caption of the program's own.
demo_disc_update
answer_message "disc" error "Eject the disc from the drive." aspi_disc_message
demo_disc_checked aspi
e2e_log "passed: two whole updates and a disc on the Windows 9x family's path"
