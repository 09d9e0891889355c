# shellcheck shell=bash
# Shared set-up of the end-to-end tests. A test script is called with the paths of Quillet.exe and
# uidriver.exe and starts with
#
#     source "$(dirname "$0")/lib.sh" "$@"
#
# Afterwards it runs under a display (a virtual one when DISPLAY is unset) with its own Wine prefix
# (a copy of $QUILLET_WINEPREFIX_TEMPLATE, else a new one) whose programs run in a Wine desktop of
# 1024 x 768 pixels, where windows have their caption and frame, and has:
#   PROGRAM_DIR   a fresh folder holding Quillet.exe; the program's current directory, where
#                 configuration files, images and a DLL go beside it
#   ARTEFACTS     $QUILLET_ARTEFACTS/<test name>/ (pictures, logs), emptied first
#   E2E_TMP       a scratch folder, removed at the end with the prefix
#   UIDRIVER      the driver program (Unix path)
#   BUILD_BIN     the folder Quillet.exe was built into, which also holds dialogshow.exe
#   quillet, folder, dialogshow
#                 the Windows paths of Quillet.exe and PROGRAM_DIR, and of dialogshow.exe
# and the functions below. Everything the test started under Wine is ended on exit.
# With QUILLET_E2E_FROM_FOLDER=1 the test runs in a copy of the whole folder of Quillet.exe, such
# as the unpacked demo folder of a release: its own catalogue, images and simulated library stand
# in for the ones the functions below would write.
# Exit code 77 (a skipped test for CTest) means this machine cannot run Wine at all.
set -euo pipefail

if [ $# -lt 2 ]; then
    echo "usage: $0 Quillet.exe uidriver.exe" >&2
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

# Makes Quillet.exe see Windows VERSION: "win98" gives platform identifier 1 (the Windows 9x
# family, so the program takes the ASPI path), "default" the prefix's own version (the NT family).
# Only Quillet.exe is affected, not the driver.
quillet_windows_version() {  # win98 | default
    local key='HKCU\Software\Wine\AppDefaults\Quillet.exe'
    if [ "$1" = default ]; then
        "$QUILLET_WINE" reg delete "$key" /v Version /f </dev/null >/dev/null 2>&1 || true
    else
        "$QUILLET_WINE" reg add "$key" /v Version /d "$1" /f </dev/null >/dev/null 2>&1 ||
            fail "cannot set the Windows version $1"
    fi
}

# Writes the demo's sample files beside Quillet.exe (scripts/demo/make-folder.sh): tarvex.ini,
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
    if [ "${QUILLET_E2E_FROM_FOLDER:-}" = 1 ]; then
        dll=$BUILD_BIN/WNASPI32.DLL
    fi
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

rm -rf "$ARTEFACTS"
mkdir -p "$ARTEFACTS" "$PROGRAM_DIR"
if [ "${QUILLET_E2E_FROM_FOLDER:-}" = 1 ]; then
    cp "$BUILD_BIN"/* "$PROGRAM_DIR/" || fail "cannot copy the folder $BUILD_BIN"
fi
cp "$1" "$PROGRAM_DIR/Quillet.exe"
# The Windows paths the tests start programs with.
quillet=$(winpath "$PROGRAM_DIR/Quillet.exe")
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
