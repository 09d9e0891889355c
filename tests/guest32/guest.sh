#!/bin/bash
# Runs inside the 32-bit test guest as its first process, after the initramfs' init: the tests
# named in $quillet_build/guest32/tests (lines "FOLDER PATTERN": a build folder under
# $quillet_build and a CTest pattern for its tests) under the host's own 32-bit Wine and a
# virtual display. The CTest logs go to $quillet_build/guest32/ctest.log, a line of totals to
# $quillet_build/guest32/summary and the exit code to $quillet_build/guest32/status; then the guest
# powers off. With quillet_wine=0 (run.sh --no-wine) no Wine prefix is made.
set -uo pipefail
export PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin HOME=/tmp/home TMPDIR=/tmp
mkdir -p "$HOME"
: "${quillet_build:?}" "${quillet_repo:?}"
out=$quillet_build/guest32
cd "$quillet_repo" || exit 1

power_off() {
    sync
    echo o >/proc/sysrq-trigger
    sleep 10
}
trap power_off EXIT

elapsed() {
    local now
    now=$(cut -d' ' -f1 /proc/uptime)
    printf '[guest %6s s] %s\n' "$now" "$*"
}

# shellcheck source=SCRIPTDIR/../../scripts/wine-env.sh
source scripts/wine-env.sh
if [ "$QUILLET_WINE_ARCH" != i686 ]; then
    elapsed "32-bit Wine does not run here"
    echo "32-bit Wine does not run in the guest" >"$out/summary"
    echo 1 >"$out/status"
    exit
fi
elapsed "$("$QUILLET_WINE" --version) on $(uname -r), $(nproc) processors"

# One Wine prefix for the run, copied by each end-to-end test. A 32-bit prefix is half the size
# of the default one (no 64-bit system folder) and the product is 32-bit anyway. Making it takes
# minutes under emulation, so the first run keeps it in the build folder for this Wine version.
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX=/tmp/wineprefix
export QUILLET_WINEPREFIX_TEMPLATE=$WINEPREFIX QUILLET_ARTEFACTS=$quillet_build/artefacts/guest32
mkdir -p "$QUILLET_ARTEFACTS"
kept=$out/wineprefix-win32-$("$QUILLET_WINE" --version | tr -c 'A-Za-z0-9.\n-' _).tar
if [ "${quillet_wine:-1}" = 0 ]; then
    elapsed "no Wine prefix: the tests run no Windows program"
else
    if [ -s "$kept" ] && mkdir -p "$WINEPREFIX" && tar -xf "$kept" -C "$WINEPREFIX"; then
        elapsed "Wine prefix unpacked from $kept"
    else
        rm -rf "$WINEPREFIX"
        wine_new_prefix
        tar -cf "$kept.part" -C "$WINEPREFIX" . && mv "$kept.part" "$kept"
        elapsed "Wine prefix made and kept in $kept"
    fi
    # A crash prints its backtrace and ends the program rather than waiting in a dialog for a
    # click.
    "$QUILLET_WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
        </dev/null >/dev/null 2>&1
fi

status=0 passed=0 total=0
: >"$out/ctest.log"
while read -r folder pattern; do
    [ -n "$folder" ] || continue
    # Programs mapped straight from the 9p share came up with pages of zeros (a crash in the
    # first import call); they run from a copy in memory, at their own path.
    # A folder named a second time is in memory already.
    if [ -d "$quillet_build/$folder/bin" ] && [ ! -d "/tmp/bin-$folder" ]; then
        cp -a "$quillet_build/$folder/bin" "/tmp/bin-$folder" &&
            mount --bind "/tmp/bin-$folder" "$quillet_build/$folder/bin" ||
            elapsed "cannot copy $folder/bin into memory"
    fi
    log=$(mktemp)
    on_virtual_display \
        ctest --test-dir "$quillet_build/$folder" --output-on-failure --timeout 900 \
        -R "$pattern" </dev/null 2>&1 | tee "$log" | tee -a "$out/ctest.log"
    [ "${PIPESTATUS[0]}" = 0 ] || status=1
    # "100% tests passed, 0 tests failed out of 2"; none at all when no test matched.
    counts=$(sed -n 's/.*tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\).*/\1 \2/p' "$log")
    if [ -z "$counts" ]; then
        echo "no test of $folder matches $pattern" | tee -a "$out/ctest.log"
        status=1
    else
        total=$((total + ${counts#* })) passed=$((passed + ${counts#* } - ${counts% *}))
    fi
    rm -f "$log"
    elapsed "tests of $folder ended"
done <"$out/tests"
echo "$passed of $total tests passed" >"$out/summary"
echo "$status" >"$out/status"
