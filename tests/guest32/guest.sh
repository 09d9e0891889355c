#!/bin/bash
# Runs inside the 32-bit test guest as its first process, after the initramfs' init: the i686
# build's tests named in $quillet_build/guest32/tests (a CTest pattern) under the host's own 32-bit
# Wine and a virtual display. The CTest log goes to $quillet_build/guest32/ctest.log and its exit
# code to $quillet_build/guest32/status; then the guest powers off.
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
    echo 1 >"$out/status"
    exit
fi
elapsed "$("$QUILLET_WINE" --version) on $(uname -r), $(nproc) processors"

# One Wine prefix for the run, copied by each end-to-end test. Making one takes minutes under
# emulation, so the first run keeps it in the build folder for this Wine version.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX=/tmp/wineprefix
export QUILLET_WINEPREFIX_TEMPLATE=$WINEPREFIX QUILLET_ARTIFACTS=$quillet_build/artifacts/guest32
mkdir -p "$QUILLET_ARTIFACTS"
kept=$out/wineprefix-$("$QUILLET_WINE" --version | tr -c 'A-Za-z0-9.\n-' _).tar
if [ -s "$kept" ] && mkdir -p "$WINEPREFIX" && tar -xf "$kept" -C "$WINEPREFIX"; then
    elapsed "Wine prefix unpacked from $kept"
else
    rm -rf "$WINEPREFIX"
    "$QUILLET_WINE" wineboot -i </dev/null >/dev/null 2>&1
    "$QUILLET_WINESERVER" -w
    tar -cf "$kept.part" -C "$WINEPREFIX" . && mv "$kept.part" "$kept"
    elapsed "Wine prefix made and kept in $kept"
fi

xvfb-run -a -s "-screen 0 1024x768x24" \
    ctest --test-dir "$quillet_build/win32" --output-on-failure --timeout 900 \
    -R "$(cat "$out/tests")" </dev/null 2>&1 | tee "$out/ctest.log"
echo "${PIPESTATUS[0]}" >"$out/status"
elapsed "tests ended"
