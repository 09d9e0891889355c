# shellcheck shell=bash
# Shared set-up of the end-to-end tests. A test script is called with the paths of the program
# (Quillet.exe, or QuilletDemo.exe for the demo's tests) and uidriver.exe and starts with
#
#     source "$(dirname "$0")/lib.sh" "$@"
#
# Afterwards it runs under a display (a virtual one when DISPLAY is unset) with its own Wine prefix
# (a copy of $QUILLET_WINEPREFIX_TEMPLATE, else a new one) whose programs run in a Wine desktop of
# 1024 x 768 pixels, where windows have their caption and frame, and has:
#   PROGRAM_DIR   a fresh folder holding the program under its own name; the program's current
#                 directory, where configuration files, images and a DLL go beside it
#   PROGRAM_NAME  the program's file name (Quillet.exe, QuilletDemo.exe)
#   ARTEFACTS     $QUILLET_ARTEFACTS/<test name>/ (pictures, logs), emptied first
#   E2E_TMP       a scratch folder, removed at the end with the prefix
#   UIDRIVER      the driver program (Unix path)
#   BUILD_BIN     the folder the program was built into, which also holds dialogshow.exe
#   EXPECTJOURNAL the journal table's printer (tests/e2e/expect_journal.cpp) beside uidriver.exe
#   quillet, folder, dialogshow
#                 the Windows paths of the program and PROGRAM_DIR, and of dialogshow.exe
# and the functions below. Everything the test started under Wine is ended on exit.
# With QUILLET_E2E_FROM_FOLDER=1 the test runs in a copy of the whole folder of the program, such
# as the unpacked demo folder of a release: its own catalogue, images and simulated drives stand
# in for the ones the functions below would write.
# Exit code 77 (a skipped test for CTest) means this machine cannot run Wine at all.
set -euo pipefail

if [ $# -lt 2 ]; then
    echo "usage: $0 PROGRAM.exe uidriver.exe" >&2
    exit 2
fi

# shellcheck source=../../scripts/wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/wine-env.sh"
# Test scripts say "wine" and "wineserver"; they mean the loader chosen above.
wine() { "$QUILLET_WINE" "$@"; }
wineserver() { "$QUILLET_WINESERVER" "$@"; }
if ! wine_version=$(wine --version 2>&1); then
    echo "SKIPPED: Wine cannot run on this machine: ${wine_version##*$'\n'}" >&2
    exit 77
fi

if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 ${QUILLET_SCREEN_SIZE}x24" bash "$0" "$@"
fi

E2E_TEST=$(basename "$0" .sh)
E2E_START=${EPOCHREALTIME//[!0-9]/}
UIDRIVER=$(realpath "$2")
# shellcheck disable=SC2034  # read by the test scripts
EXPECTJOURNAL=$(dirname "$UIDRIVER")/expectjournal.exe
PROGRAM_NAME=$(basename "$1")
# shellcheck disable=SC2034  # read by the test scripts
BUILD_BIN=$(dirname "$(realpath "$1")")
E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/quillet-e2e-$E2E_TEST.XXXXXX")
PROGRAM_DIR=$E2E_TMP/program
ARTEFACTS=${QUILLET_ARTEFACTS:-${TMPDIR:-/tmp}/quillet-artefacts}/$E2E_TEST

export WINEPREFIX=$E2E_TMP/prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Arguments and output cross between Unix and Windows as UTF-8.
if [ -z "${LC_ALL:-}${LANG:-}" ]; then
    export LC_ALL=C.UTF-8
fi

e2e_cleanup() {
    "$QUILLET_WINESERVER" -k >/dev/null 2>&1 || true
    rm -rf "$E2E_TMP"
}
trap e2e_cleanup EXIT

# Prints a progress line with the seconds since the test began.
e2e_log() {
    local elapsed=$(( ${EPOCHREALTIME//[!0-9]/} - E2E_START ))
    printf '[%3d.%01d s] %s\n' $((elapsed / 1000000)) $((elapsed / 100000 % 10)) "$*"
}

fail() {
    echo "FAIL ($E2E_TEST): $*" >&2
    exit 1
}

expect_equal() {  # what expected actual
    [ "$2" == "$3" ] || fail "$1: expected \"$2\", got \"$3\""
}

# Runs uidriver with the given steps. Its output lines land in the array DRIVER_OUT, its messages
# in DRIVER_ERR (and on stderr); the return value is its exit code. Its output goes through files,
# not pipes: programs started under Wine can hold on to a pipe long after the driver has ended.
driver() {
    local rc=0
    env ${DRIVER_LOCALE:+"LC_ALL=$DRIVER_LOCALE"} "$QUILLET_WINE" "$UIDRIVER" "$@" </dev/null \
        >"$E2E_TMP/driver.out" 2>"$E2E_TMP/driver.err" || rc=$?
    # shellcheck disable=SC2034  # read by the test scripts
    mapfile -t DRIVER_OUT <"$E2E_TMP/driver.out"
    DRIVER_ERR=$(cat "$E2E_TMP/driver.err")
    if [ -n "$DRIVER_ERR" ]; then
        printf '%s\n' "$DRIVER_ERR" >&2
    fi
    return $rc
}

# As driver, with the driver and the programs it starts in the language of LOCALE (such as
# ja_JP.UTF-8): Wine takes the user's language, and with it the resources' language, from LC_ALL.
# The language needs no system locale of that name; Unix file names outside ASCII do, as Wine reads
# them in the locale's charset (scripts/install-deps.sh generates the locales).
driver_in() {  # locale step...
    local DRIVER_LOCALE=$1
    shift
    driver "$@"
}

# The Japanese faces rendered with the IPA fonts (wine-env.sh), in this test's prefix.
use_japanese_fonts() {
    fc-list | grep IPAPGothic >/dev/null || fail "the IPA fonts are missing (fonts-ipafont-gothic)"
    wine_japanese_fonts "$E2E_TMP" || fail "cannot import the Japanese font replacements"
}

# Makes the program see Windows VERSION: "win98" gives platform identifier 1 (the Windows 9x
# family, so the program takes the ASPI path), "default" the prefix's own version (the NT family).
# Only the program is affected, not the driver.
quillet_windows_version() {  # win98 | default
    local key="HKCU\\Software\\Wine\\AppDefaults\\$PROGRAM_NAME"
    if [ "$1" = default ]; then
        "$QUILLET_WINE" reg delete "$key" /v Version /f </dev/null >/dev/null 2>&1 || true
    else
        "$QUILLET_WINE" reg add "$key" /v Version /d "$1" /f </dev/null >/dev/null 2>&1 ||
            fail "cannot set the Windows version $1"
    fi
}

# Writes the demo's sample files beside the program (scripts/demo/make-folder.sh): tarvex.ini,
# the images MTX5160.BIN and CDRW8432.BIN, and WNASPI32.CFG for the simulated bus.
put_demo_folder() {
    if [ "${QUILLET_E2E_FROM_FOLDER:-}" = 1 ]; then
        cp "$BUILD_BIN"/* "$PROGRAM_DIR/" || fail "cannot copy the folder $BUILD_BIN"
        return
    fi
    bash "$(dirname "${BASH_SOURCE[0]}")/../../scripts/demo/make-folder.sh" "$PROGRAM_DIR" \
        >/dev/null || fail "cannot write the demo folder"
}

# Puts the simulated WNASPI32.DLL beside Quillet.exe (QUILLET_WNASPI32, else the one built beside
# Quillet.exe) and has Wine load it rather than its own; it reads WNASPI32.CFG beside it and
# writes its journals (Drive<n>.LOG) and received images (Drive<n>.IMG) there.
use_simulated_aspi() {
    local dll=${QUILLET_WNASPI32:-$BUILD_BIN/WNASPI32.DLL}
    [ -f "$dll" ] || fail "no simulated WNASPI32.DLL at $dll"
    cp "$dll" "$PROGRAM_DIR/WNASPI32.DLL"
    export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;wnaspi32=n"
}

# The driver steps that read the completion notice's painted lines (x 10, y 15, 30, 45) in a
# client area WIDTH pixels wide, into the array COMPLETION_STEPS: the ink of the 15-pixel band
# above the first line and of each line, then how the lines differ from their string table's
# characters. check_completion_lines reads the five answers from DRIVER_OUT at FIRST: the band
# empty, the lines red text only, and no pixel unlike the table's text.
completion_line_steps() {  # width
    local y
    COMPLETION_STEPS=()
    for y in 0 15 30 45; do
        COMPLETION_STEPS+=(ink 10 "$y" $(($1 - 10)) 15)
    done
    COMPLETION_STEPS+=(painted "$quillet" 117 3 10 15 15 10)
}

check_completion_lines() {  # what first
    local i red dark different ink
    IFS=$'\t' read -r red dark <<<"${DRIVER_OUT[$2]}"
    expect_equal "$1: ink above the first completion line (red, dark)" "0 0" "$red $dark"
    for i in 1 2 3; do
        IFS=$'\t' read -r red dark <<<"${DRIVER_OUT[$(($2 + i))]}"
        if [ "$red" -eq 0 ] || [ "$dark" -gt 0 ]; then
            fail "$1: completion line $((116 + i)) (red $red, dark $dark): expected red text only"
        fi
    done
    IFS=$'\t' read -r different ink <<<"${DRIVER_OUT[$(($2 + 4))]}"
    [ "$ink" -gt 0 ] || fail "$1: the reference completion lines have no ink"
    expect_equal "$1: pixels where the completion lines differ from their string table's" \
        0 "$different"
}

# Converts a BMP taken by the driver into ARTEFACTS/<name>.png.
keep_picture() {  # bmp name
    [ -s "$1" ] || fail "no picture was saved at $1"
    convert "$1" "$ARTEFACTS/$2.png" || fail "cannot convert $1 into PNG"
}

# --- The demo program (QuilletDemo.exe) over the drives of the sample folder's WNASPI32.CFG.

# Its main dialog's caption.
# shellcheck disable=SC2034  # read by the test scripts
DEMO_MAIN="(demo) KORVIN CD-R/RW Drive Firmware Update Utility for SCSI/E-IDE Model"

# The sample folder's values that the drives' journals depend on, read from its files: the product
# codes its catalogue encodes (MTX_CODE, CDRW_CODE), the length of the tagged image's first
# section, the MTX5160E's (MTX_LENGTH), and of the plain image (CDRW_LENGTH).
# shellcheck disable=SC2034  # read by the test scripts
read_demo_values() {
    local writer ids
    writer=$(dirname "${BASH_SOURCE[0]}")/../../scripts/demo/make-folder.sh
    mapfile -t ids < <(sed -n 's/^PRODUCT_ID=\([^\r]*\)\r*$/\1/p' "$PROGRAM_DIR/tarvex.ini")
    [ "${#ids[@]}" = 2 ] || fail "the sample catalogue has ${#ids[@]} PRODUCT_ID values, not 2"
    MTX_CODE=$(bash "$writer" --decode "${ids[0]}")
    CDRW_CODE=$(bash "$writer" --decode "${ids[1]}")
    MTX_LENGTH=$(od -An -tu1 -N4 "$PROGRAM_DIR/MTX5160.BIN" |
        awk '{ print (($1 * 256 + $2) * 256 + $3) * 256 + $4 }')
    CDRW_LENGTH=$(stat -c %s "$PROGRAM_DIR/CDRW8432.BIN")
}

# Adds LINE to section Drive<N> of WNASPI32.CFG, whatever its line ends (a release's are CR LF).
configure_drive() {  # n line
    sed -i "s/^\[Drive$1\]\r\?$/&\n$2/" "$PROGRAM_DIR/WNASPI32.CFG"
}

# A fresh start: the drives' journal files and images of an earlier run are removed.
forget_drives() {
    rm -f "$PROGRAM_DIR"/Drive*.LOG "$PROGRAM_DIR"/Drive*.IMG
}

# Fails unless drive N's journal file (Drive<N>.LOG) holds exactly the lines expectjournal prints
# for ARGS: the unit tests' table of whole flows, command for command.
expect_journal() {  # what n args...
    local what=$1 drive=$2 expected=$E2E_TMP/expected.log
    shift 2
    "$QUILLET_WINE" "$EXPECTJOURNAL" "$@" </dev/null >"$expected" 2>"$E2E_TMP/expected.err" ||
        fail "$what: expectjournal $* failed: $(cat "$E2E_TMP/expected.err")"
    sed -i 's/\r$//' "$expected"
    [ -s "$expected" ] || fail "$what: expectjournal $* printed nothing"
    if ! cmp -s "$expected" "$PROGRAM_DIR/Drive$drive.LOG"; then
        diff "$expected" "$PROGRAM_DIR/Drive$drive.LOG" | head -20 >&2 || true
        fail "$what: Drive$drive.LOG differs from the whole-flow table's journal ($*)"
    fi
}

# Fails unless drive N kept (Drive<N>.IMG) the first LENGTH bytes of FILE, padded with zeros to
# whole 2048-byte units.
expect_image() {  # what n file length
    local expected=$E2E_TMP/expected.img
    head -c "$4" "$PROGRAM_DIR/$3" >"$expected"
    truncate -s $((($4 + 2047) / 2048 * 2048)) "$expected"
    cmp -s "$expected" "$PROGRAM_DIR/Drive$2.IMG" ||
        fail "$1: Drive$2.IMG is not the first $4 bytes of $3, padded"
}

# Follows the main dialog's progress bar through the programming wait, which begins once the
# blocks are sent and the bar has moved: it must step forward, through at least three positions
# and never back. Keeps a picture of the main dialog meanwhile as NAME.
watch_programming_wait() {  # what name
    local tries probe positions=()
    for ((tries = 0; ; ++tries)); do
        driver window "$DEMO_MAIN" 10 position 1001 || fail "$1: the bar cannot be read"
        ((DRIVER_OUT[0] > 0)) && break
        ((tries < 60)) || fail "$1: the bar did not move within 30 s"
        sleep 0.5
    done
    for probe in 1 2 3 4 5 6; do
        driver window "$DEMO_MAIN" 10 position 1001 || fail "$1: the bar cannot be read"
        positions+=("${DRIVER_OUT[0]}")
        sleep 1.5
    done
    driver window "$DEMO_MAIN" 10 snap "$(winpath "$E2E_TMP/$2.bmp")" || fail "$1: no picture"
    keep_picture "$E2E_TMP/$2.bmp" "$2"
    for ((probe = 1; probe < ${#positions[@]}; ++probe)); do
        ((positions[probe] >= positions[probe - 1])) || fail "$1: the bar went back: ${positions[*]}"
    done
    (($(printf '%s\n' "${positions[@]}" | sort -u | wc -l) >= 3)) ||
        fail "$1: the bar did not step through the wait: ${positions[*]}"
    e2e_log "$1: bar during the programming wait: ${positions[*]}"
}

# Answers the message box captioned CAPTION that shows TEXT with OK (a box that is still closing
# may be found first), keeping its picture as NAME.
answer_message() {  # what caption text name
    local tries
    for ((tries = 0; ; ++tries)); do
        driver window "$2" 60 controls shot "$(winpath "$E2E_TMP/$4.bmp")" ||
            fail "$1: no message box captioned \"$2\""
        printf '%s\n' "${DRIVER_OUT[@]}" | grep -qF $'\t'"$3" && break
        ((tries < 20)) || fail "$1: no box saying \"$3\": ${DRIVER_OUT[*]}"
        sleep 0.5
    done
    keep_picture "$E2E_TMP/$4.bmp" "$4"
    driver window "$2" 10 click 1 || fail "$1: the box saying \"$3\" could not be answered"
}

# One whole update by the demo program: caution "continue"; entry INDEX of the drive list and
# entry SOURCE of the firmware list chosen; "Update"; "Continue" in the old-version question when
# ASKS is 1; OK in the start confirmation; the bar stepping through the programming wait; the
# completion notice; the bar back at 0; "Close". Pictures of each step go to ARTEFACTS, named
# NAME_<step>. The version and firmware shown are left in DEMO_SHOWN ("version|firmware").
demo_update() {  # name index source asks
    local name=$1 asks=$4 next=4
    local steps=(start "$quillet" "$folder" window QUILLET 60 caption click 2
        window "$DEMO_MAIN" 30 input 60 caption select 1006 "$2" select 1007 "$3"
        text 1004 text 1007 shot "$(winpath "$E2E_TMP/main.bmp")" click 1008)
    if [ "$asks" = 1 ]; then
        steps+=(dialog 1011 30 text 1011 shot "$(winpath "$E2E_TMP/old.bmp")" click 1)
    fi
    # shellcheck disable=SC2054  # a list of control ids, one step's argument
    steps+=(dialog 1009,1010 30 text 1009 shot "$(winpath "$E2E_TMP/confirm.bmp")" click 1)
    driver "${steps[@]}" || fail "$name: the update could not be started"
    keep_picture "$E2E_TMP/main.bmp" "${name}_1_main"
    expect_equal "$name: the caution's caption" "QUILLET" "${DRIVER_OUT[0]}"
    expect_equal "$name: the main dialog's caption" "$DEMO_MAIN" "${DRIVER_OUT[1]}"
    # shellcheck disable=SC2034  # read by the test scripts
    DEMO_SHOWN="${DRIVER_OUT[2]}|${DRIVER_OUT[3]}"
    if [ "$asks" = 1 ]; then
        keep_picture "$E2E_TMP/old.bmp" "${name}_2_old_version"
        expect_equal "$name: old-version question" \
            'The version is old.\n\nDo you still want to continue?' "${DRIVER_OUT[4]}"
        next=5
    fi
    keep_picture "$E2E_TMP/confirm.bmp" "${name}_3_start_confirmation"
    expect_equal "$name: start confirmation" \
        'Press [OK] to start installation.\n\nDo not turn off computer while the LEDs blinking.' \
        "${DRIVER_OUT[$next]}"
    e2e_log "$name: update confirmed"

    watch_programming_wait "$name" "${name}_4_during_update"

    driver dialog 1 90 caption shot "$(winpath "$E2E_TMP/completion.bmp")" ||
        fail "$name: no completion notice"
    keep_picture "$E2E_TMP/completion.bmp" "${name}_5_completion"
    expect_equal "$name: caption of the completion notice" "" "${DRIVER_OUT[0]}"
    driver dialog 1 10 click 1 window "$DEMO_MAIN" 10 input 60 position 1001 \
        shot "$(winpath "$E2E_TMP/after.bmp")" click 2 wait-exit 15 ||
        fail "$name: the main dialog after the notice could not be read or closed"
    keep_picture "$E2E_TMP/after.bmp" "${name}_6_after_update"
    expect_equal "$name: progress bar after the update" "0" "${DRIVER_OUT[0]}"
    expect_equal "$name: exit code" "0" "${DRIVER_OUT[-1]}"
}

rm -rf "$ARTEFACTS"
mkdir -p "$ARTEFACTS" "$PROGRAM_DIR"
if [ "${QUILLET_E2E_FROM_FOLDER:-}" = 1 ]; then
    cp "$BUILD_BIN"/* "$PROGRAM_DIR/" || fail "cannot copy the folder $BUILD_BIN"
fi
cp "$1" "$PROGRAM_DIR/$PROGRAM_NAME"
# The Windows paths the tests start programs with.
quillet=$(winpath "$PROGRAM_DIR/$PROGRAM_NAME")
folder=$(winpath "$PROGRAM_DIR")
dialogshow=$(winpath "$BUILD_BIN/dialogshow.exe")

if [ -n "${QUILLET_WINEPREFIX_TEMPLATE:-}" ]; then
    cp -a "$QUILLET_WINEPREFIX_TEMPLATE" "$WINEPREFIX"
    e2e_log "Wine prefix copied from $QUILLET_WINEPREFIX_TEMPLATE"
else
    wine_new_prefix
    e2e_log "new Wine prefix made"
fi
# Windows with their caption and frame, in pictures as a user sees them. The server that wrote
# the setting ends first, so that a test may start one of its own (wineserver -p).
wine_virtual_desktop || fail "cannot set up Wine's desktop"
"$QUILLET_WINESERVER" -w

# The demo's two whole updates on one path (aspi or nt), through the real windows: the CDRW-8432,
# whose offered firmware is older than its own ("Continue" in the old-version question), at
# entry CDRW_ENTRY of the drive list, then the tagged MTX5160E at entry 0. Each drive's journal is
# the unit tests' whole-flow table for the case, the others' untouched; each keeps its image.
demo_whole_updates() {  # path cdrw-entry
    local path=$1
    demo_update "${path}_cdrw8432" 1 "$2" 1
    expect_equal "CDRW-8432: version and firmware shown" "1.1a|1.0r CDRW8432.BIN" "$DEMO_SHOWN"
    expect_journal "CDRW-8432" 1 "$path" updated plain "$CDRW_CODE" "$CDRW_LENGTH"
    expect_image "CDRW-8432" 1 CDRW8432.BIN "$CDRW_LENGTH"
    expect_journal "MTX5160E, not chosen" 0 "$path" untouched tagged "$MTX_CODE" "$MTX_LENGTH"
    expect_journal "the other vendor's drive" 2 "$path" untouched plain 0 0
    cp "$PROGRAM_DIR/Drive1.LOG" "$ARTEFACTS/${path}_cdrw8432_Drive1.LOG"
    e2e_log "CDRW-8432 updated; its journal is the table's"

    forget_drives
    demo_update "${path}_mtx5160e" 0 0 0
    expect_equal "MTX5160E: version and firmware shown" "1.0q|1.1a MTX5160.BIN" "$DEMO_SHOWN"
    expect_journal "MTX5160E" 0 "$path" updated tagged "$MTX_CODE" "$MTX_LENGTH"
    expect_image "MTX5160E" 0 MTX5160.BIN "$MTX_LENGTH"
    expect_journal "CDRW-8432, not chosen" 1 "$path" untouched plain "$CDRW_CODE" "$CDRW_LENGTH"
    cp "$PROGRAM_DIR/Drive0.LOG" "$ARTEFACTS/${path}_mtx5160e_Drive0.LOG"
    e2e_log "MTX5160E updated; its journal is the table's"
}

# Starts an update of the MTX5160E, which has a disc (Disc=1): the caller answers the messages.
demo_disc_update() {
    forget_drives
    configure_drive 0 Disc=1
    driver start "$quillet" "$folder" window QUILLET 60 click 2 window "$DEMO_MAIN" 30 input 60 \
        select 1006 0 click 1008 dialog 1009,1010 30 click 1 ||
        fail "the update with a disc could not be started"
}

# After the disc messages: the bar stood still, the drive was not written to. `path`: aspi or nt.
demo_disc_checked() {  # path
    driver window "$DEMO_MAIN" 10 input 60 position 1001 click 2 wait-exit 15 ||
        fail "the main dialog after the disc message could not be read or closed"
    expect_equal "progress bar after the disc message" "0" "${DRIVER_OUT[0]}"
    expect_journal "MTX5160E with a disc" 0 "$1" disc tagged "$MTX_CODE" "$MTX_LENGTH"
    [ ! -e "$PROGRAM_DIR/Drive0.IMG" ] || fail "a drive with a disc kept an image"
}
