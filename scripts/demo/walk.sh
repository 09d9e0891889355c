#!/usr/bin/env bash
# The demo's scripted walk, run by scripts/demo.sh under a display (Xvfb) with the Wine settings
# and the Windows version in the environment: QuilletDemo.exe in FOLDER, driven by UIDRIVER
# through a whole update of the MTX5160E (caution "continue", the drive chosen, "Update", OK, the
# completion notice, "Close") on the path the Windows version gives, which SYSTEM names.
# Pictures of each step and the drive journals go to ARTEFACTS; what the drive received is
# printed at the end.
#
# usage: walk.sh UIDRIVER FOLDER ARTEFACTS SYSTEM
set -euo pipefail

# shellcheck source=../wine-env.sh
source "$(dirname "$0")/../wine-env.sh"
if [ $# -ne 4 ]; then
    echo "usage: $0 UIDRIVER FOLDER ARTEFACTS SYSTEM" >&2
    exit 2
fi
uidriver=$1
folder=$2
artefacts=$3
system=$4
main="(demo) KORVIN CD-R/RW Drive Firmware Update Utility for SCSI/E-IDE Model"
mkdir -p "$artefacts"

# Runs the driver; its output lines land in OUT.
drive() {
    local rc=0
    "$QUILLET_WINE" "$uidriver" "$@" </dev/null >"$artefacts/driver.out" || rc=$?
    mapfile -t OUT <"$artefacts/driver.out"
    rm -f "$artefacts/driver.out"
    if [ $rc -ne 0 ]; then
        echo "demo: the walk stopped (uidriver exit code $rc)" >&2
        exit 1
    fi
}
picture() {  # name
    winpath "$artefacts/$1.bmp"
}
# The pictures as PNG files; Wine's own background programs end while the display still exists.
finish() {
    local bmp
    "$QUILLET_WINESERVER" -k >/dev/null 2>&1 || true
    for bmp in "$artefacts"/*.bmp; do
        [ -e "$bmp" ] || continue
        convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
    done
}
trap finish EXIT

# Each start of the demo program starts its drives afresh; so do their journals here.
rm -f "$folder"/Drive*.LOG "$folder"/Drive*.IMG
echo "demo: starting QuilletDemo in $folder as on $system"
drive start "$(winpath "$folder/QuilletDemo.exe")" "$(winpath "$folder")" \
    window QUILLET 60 shot "$(picture 1-caution)" click 2 \
    window "$main" 30 input 60 select 1006 0 entries 1006 text 1004 text 1007 \
    shot "$(picture 2-main-dialog)" click 1008 \
    dialog 1009,1010 30 shot "$(picture 3-start-confirmation)" click 1
echo "demo: drives listed: ${OUT[0]}"
for ((i = 1; i <= OUT[0]; i++)); do
    echo "        ${OUT[$i]}"
done
echo "demo: chosen: ${OUT[1]}, version ${OUT[$((OUT[0] + 1))]}, firmware ${OUT[$((OUT[0] + 2))]}"
echo "demo: update confirmed; the drive is programming (about 35 s)"

sleep 5
drive window "$main" 10 snap "$(picture 4-main-dialog-during-update)"
drive dialog 1 90 shot "$(picture 5-completion)" click 1 \
    window "$main" 10 input 60 position 1001 shot "$(picture 6-main-dialog-after-update)" click 2 \
    wait-exit 15
echo "demo: completion notice shown; progress bar back at ${OUT[0]}; QuilletDemo ended"

cp "$folder"/Drive*.LOG "$artefacts/"
[ -e "$folder/Drive0.IMG" ] && cp "$folder/Drive0.IMG" "$artefacts/"
echo "demo: the MTX5160E received these WRITE BUFFER commands (Drive0.LOG):"
grep -E '^[0-9]+ 3B ' "$folder/Drive0.LOG" | sed 's/^/        /' || echo "        none"
if [ -e "$folder/Drive0.IMG" ]; then
    # Its section of MTX5160.BIN: the first one, whose tag is the drive's.
    length=$(od -An -tu1 -N4 "$folder/MTX5160.BIN" |
        awk '{ print (($1 * 256 + $2) * 256 + $3) * 256 + $4 }')
    received=$(stat -c %s "$folder/Drive0.IMG")
    if cmp -s -n "$length" "$folder/MTX5160.BIN" "$folder/Drive0.IMG"; then
        echo "demo: $received bytes kept: the MTX5160E section of MTX5160.BIN ($length bytes)," \
            "padded with zeros to a multiple of 2048"
    else
        echo "demo: $received bytes kept, but they are not the MTX5160E section of MTX5160.BIN"
    fi
else
    echo "demo: the drive kept no image"
fi
echo "demo: pictures and drive journals in $artefacts"
