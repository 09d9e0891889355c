#!/usr/bin/env bash
# Builds everything and runs every test: the native suite, the same suite built for 32-bit
# Windows and run under Wine, and the end-to-end tests of the real program under Wine and Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

# Each stage names itself; a run that stops early says in its last line which stage stopped it.
current_stage="installing what the tests need"
stage() {
    current_stage=$1
    echo "== $1 =="
}
wine_prefix=""
finish() {
    local rc=$?
    if [ -n "$wine_prefix" ]; then
        "$QUILLET_WINESERVER" -k >/dev/null 2>&1 || true
        rm -rf "$wine_prefix"
    fi
    if [ "$rc" != 0 ]; then
        echo "== FAILED in stage: $current_stage (exit $rc); the output above says why =="
    fi
    exit "$rc"
}
trap finish EXIT

scripts/install-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
build=${QUILLET_BUILD_DIR:-$root/build}
# The QEMU guests' kernel and busybox, downloaded once for their tests and the 32-bit guest's stage.
export QUILLET_GUEST_CACHE=${QUILLET_GUEST_CACHE:-$build/guest-cache}

stage "native build and tests"
cmake -S . -B "$build/native" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build/native" -j "$jobs"
ctest --test-dir "$build/native" -j "$jobs" --output-on-failure --timeout 300 \
    | tee "$build/native-ctest.log" | grep -v -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed'

stage "fuzz targets, a fixed number of runs each"
# Every libFuzzer target from its seeds with a fixed seed, so a run finds what the last one did;
# about a minute in all on two cores. Longer searches are made by hand (tools/fuzz/run.sh).
fuzz_runs=2000
tools/fuzz/run.sh --runs "$fuzz_runs" "$build/fuzz" | tee "$build/fuzz.log"

stage "Windows (i686) build: the product"
cmake -S . -B "$build/win32" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build/win32" -j "$jobs"
stage "the product's imports against Windows 98 and NT 4.0"
ctest --test-dir "$build/win32" -L host --output-on-failure | tee "$build/imports-ctest.log"

# shellcheck source=wine-env.sh
source scripts/wine-env.sh
winbuild=$build/win32
# What is most 32-bit about the product (the ASPI request blocks, the library's entry points, the
# import table) runs on the i686 build itself: here, or where this kernel cannot run 32-bit
# programs, in a QEMU guest whose kernel can (tests/guest32). QUILLET_GUEST32=1 runs the guest
# here as well, QUILLET_GUEST32=0 nowhere. Under emulation the three take about 15 minutes cold
# (the Wine prefix is made once and kept in the build folder).
guest_unit='^unit_tests_under_wine$'
guest_e2e='^(e2e_aspi_dll_scan|e2e_app_update_aspi)$'
guest=${QUILLET_GUEST32:-}
if [ -z "$guest" ]; then
    guest=0
    [ "$QUILLET_WINE_ARCH" = i686 ] || guest=1
fi
twin_filter=()
if [ "$guest" = 1 ] && [ "$QUILLET_WINE_ARCH" != i686 ]; then
    twin_filter=(-E "^(unit_tests_under_wine|e2e_aspi_dll_scan|e2e_app_update_aspi)$")
fi
if [ "$QUILLET_WINE_ARCH" != i686 ]; then
    stage "this machine cannot run 32-bit programs: Windows tests run on the x86-64 twin"
    cmake -S . -B "$build/win64" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/$QUILLET_WINE_TOOLCHAIN" >/dev/null
    cmake --build "$build/win64" -j "$jobs"
    winbuild=$build/win64
fi
if [ "$QUILLET_WINE_ARCH" = i686 ] || [ "$guest" = 1 ]; then
    # The product build runs the end-to-end tests; GoogleTest needs the posix-thread compilers,
    # so the unit tests for Windows come from a build of their own.
    cmake -S . -B "$build/win32-tests" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DQUILLET_MINGW_THREADS=posix >/dev/null
    cmake --build "$build/win32-tests" -j "$jobs" --target quillet_tests
fi

stage "Windows tests under Wine ($QUILLET_WINE_ARCH)"
# One throw-away Wine prefix for this run; the end-to-end tests copy it for their own.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/quillet-wine.XXXXXX")
export QUILLET_WINEPREFIX_TEMPLATE=$WINEPREFIX
export QUILLET_ARTEFACTS=${QUILLET_ARTEFACTS:-$build/artefacts}
mkdir -p "$QUILLET_ARTEFACTS"
wine_prefix=$WINEPREFIX
wine_new_prefix

on_virtual_display \
    ctest --test-dir "$winbuild" --output-on-failure --timeout 600 "${twin_filter[@]}" \
    | tee "$build/windows-ctest.log"
if [ -d "$build/win32-tests" ] && [ "$winbuild" = "$build/win32" ]; then
    on_virtual_display \
        ctest --test-dir "$build/win32-tests" -R unit_tests_under_wine --output-on-failure \
        --timeout 600 | tee "$build/windows-unit-ctest.log"
fi

stage "release: the Windows zip and the Debian package, checked"
# Made from the tracked files in a folder of its own, it must hold the very Quillet.exe the tests
# above ran, and a second release in another folder the same bytes (tests/release/check.sh).
release_start=$SECONDS
scripts/release.sh --work "$build/release" --out "$build/dist"
tests/release/check.sh "$build" "$build/dist"
demo_test=release-check/demo-test
release_demo="runs in the QEMU guest"
if [ "$QUILLET_WINE_ARCH" = i686 ]; then
    on_virtual_display ctest --test-dir "$build/$demo_test" --output-on-failure --timeout 600 \
        | tee "$build/release-ctest.log"
    release_demo=$(grep -E 'tests passed' "$build/release-ctest.log" | tail -1)
fi
release_seconds=$((SECONDS - release_start))

guest_rc=0
if [ "$guest" = 1 ]; then
    stage "i686 tests under 32-bit Wine in a QEMU guest"
    # A failure here still ends with the summary below, and then fails the run.
    tests/guest32/run.sh "$build" "win32-tests:$guest_unit" "win32:$guest_e2e" \
        "$demo_test:^release_demo_update\$" || guest_rc=$?
fi

native=$(grep -E 'tests passed' "$build/native-ctest.log" | tail -1)
windows=$(grep -E 'tests passed' "$build/windows-ctest.log" | tail -1)
imports=$(grep -E 'tests passed' "$build/imports-ctest.log" | tail -1)
echo "native: $native"
echo "fuzz targets ($fuzz_runs runs each): $(sed -n '/^target  *runs/,$p' "$build/fuzz.log" |
    tail -n +2 | wc -l) targets, no findings"
echo "product imports (i686): $imports"
echo "windows ($QUILLET_WINE_ARCH under Wine): $windows"
if [ -f "$build/windows-unit-ctest.log" ] && [ "$winbuild" = "$build/win32" ]; then
    echo "windows unit tests (i686 under Wine): $(grep -E 'tests passed' "$build/windows-unit-ctest.log" | tail -1)"
fi
if [ "$guest" = 1 ]; then
    guest_result=$(cat "$build/guest32/summary" 2>/dev/null || echo "no result, see the guest's console above")
    [ "$guest_rc" = 0 ] || guest_result="FAILED: $guest_result"
    echo "windows (i686 under 32-bit Wine in a QEMU guest, $(cat "$build/guest32/accel" 2>/dev/null)): $guest_result"
fi
echo "release ($release_seconds s): $(cd "$build/dist" && echo *.zip *.deb), lintian clean," \
    "the same bytes twice; demo update: $release_demo"
echo "artefacts: $QUILLET_ARTEFACTS"
exit "$guest_rc"
