#!/usr/bin/env bash
# Builds everything and runs every test: the native suite, the same suite built for 32-bit
# Windows and run under Wine, and the end-to-end tests of the real program under Wine and Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
build=${QUILLET_BUILD_DIR:-$root/build}

echo "== native build and tests =="
cmake -S . -B "$build/native" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build/native" -j "$jobs"
ctest --test-dir "$build/native" -j "$jobs" --output-on-failure --timeout 300 \
    | tee "$build/native-ctest.log" | grep -v -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed'

echo "== Windows (i686) build, tests under Wine =="
cmake -S . -B "$build/win32" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build/win32" -j "$jobs"

# Wine's loader is a 32-bit program: on a kernel that cannot run 32-bit programs (some virtual
# machines) nothing Windows can run, and only the Windows build above is checked.
wine_unusable=""
if ! wine_version=$(wine --version 2>&1); then
    wine_unusable="Wine cannot start on this machine: ${wine_version##*$'\n'}"
    echo "== Windows tests NOT RUN: $wine_unusable =="
else
    # One throw-away Wine prefix for this run; the end-to-end tests copy it when they need
    # their own.
    export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    export WINEPREFIX
    WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/quillet-wine.XXXXXX")
    export QUILLET_WINEPREFIX_TEMPLATE=$WINEPREFIX
    export QUILLET_ARTIFACTS=${QUILLET_ARTIFACTS:-$build/artifacts}
    mkdir -p "$QUILLET_ARTIFACTS"
    cleanup() {
        wineserver -k >/dev/null 2>&1 || true
        rm -rf "$WINEPREFIX"
    }
    trap cleanup EXIT
    wineboot -i >/dev/null 2>&1
    wineserver -w

    xvfb-run -a -s "-screen 0 1024x768x24" \
        ctest --test-dir "$build/win32" --output-on-failure --timeout 600 \
        | tee "$build/win32-ctest.log"
fi

native=$(grep -E 'tests passed' "$build/native-ctest.log" | tail -1)
echo "native: $native"
if [ -n "$wine_unusable" ]; then
    echo "win32:  NOT RUN ($wine_unusable)"
else
    win=$(grep -E 'tests passed' "$build/win32-ctest.log" | tail -1)
    echo "win32:  $win"
    echo "artefacts: $QUILLET_ARTIFACTS"
fi
