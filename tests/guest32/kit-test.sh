#!/usr/bin/env bash
# Checks the 32-bit test guest's kit (run.sh, init, guest.sh) wherever a checkout and its build
# folder lie. The guest covers the host's /tmp, /run and /var/tmp with scratch space of its own,
# and a CI runner may clone anywhere, so the guest boots once for each layout:
#   1. repository and build folder under /tmp (the repository a copy of the kit);
#   2. repository under /tmp, build folder in the build tree (outside /tmp, unless that is too);
#   3. this repository, build folder under /tmp, one of its tests failing on purpose.
# Each build folder holds a small CTest folder whose tests find the repository, write into the
# build folder and run a 32-bit program; no Wine prefix is made. A layout passes when run.sh
# answers as its tests went (0, or 1 with the failure counted) and the host sees the guest's file.
#
#   kit-test.sh WORK
#
# WORK is a folder of the build tree for this test (outside /tmp); the kernel and busybox come
# from this repository's guest kit cache, also for the copies. Exit 77 (skipped) without QEMU.
set -euo pipefail

if [ $# -ne 1 ]; then
    echo "usage: $0 WORK" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
mkdir -p "$1"
work=$(realpath "$1")
command -v qemu-system-x86_64 >/dev/null || { echo "SKIPPED: no qemu-system-x86_64" >&2; exit 77; }
QUILLET_GUEST_CACHE=$("$repo/tests/guest-kit/kit.sh" cache)
export QUILLET_GUEST_CACHE
export QUILLET_GUEST_TIMEOUT=${QUILLET_GUEST_TIMEOUT:-600}

tmp=$(mktemp -d /tmp/quillet-guest-kit.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() {
    echo "FAIL (guest kit): $*" >&2
    failures=$((failures + 1))
}

# A checkout holding just what the guest runs from the repository.
copy_kit() {  # folder
    mkdir -p "$1/tests" "$1/scripts"
    cp -r "$here" "$1/tests/guest32"
    cp -r "$repo/tests/guest-kit" "$1/tests/guest-kit"
    cp "$repo/scripts/wine-env.sh" "$1/scripts/"
}

# The CTest folder BUILD/probe, whose tests see the repository REPO from inside the guest.
probe_folder() {  # build repo [failing]
    mkdir -p "$1/probe"
    rm -f "$1/probe/written"
    {
        printf 'add_test(repository_seen test -f "%s/tests/guest32/guest.sh")\n' "$2"
        printf 'add_test(build_written sh -c "echo from-the-guest >%s/probe/written")\n' "$1"
        printf 'add_test(runs_32_bit_programs /lib/ld-linux.so.2 --version)\n'
        [ -z "${3:-}" ] || printf 'add_test(fails_on_purpose false)\n'
    } >"$1/probe/CTestTestfile.cmake"
}

layout() {  # name repo build expected-exit expected-summary
    local name=$1 kit=$2 build=$3 rc=0 summary
    echo "== guest kit: $name (repository $kit, build folder $build) =="
    bash "$kit/tests/guest32/run.sh" --no-wine "$build" "probe:." >"$build/run.log" 2>&1 || rc=$?
    summary=$(cat "$build/guest32/summary" 2>/dev/null || echo "no summary")
    if [ "$rc" != "$4" ] || [ "$summary" != "$5" ]; then
        fail "$name: run.sh exited $rc with \"$summary\", expected $4 with \"$5\""
        tail -n 30 "$build/run.log" >&2
    elif [ "$(cat "$build/probe/written" 2>/dev/null)" != from-the-guest ]; then
        fail "$name: the host does not see the file the guest wrote into the build folder"
    else
        echo "passed: $summary, $(sed -n 's/^guest32: the guest ran //p' "$build/run.log")"
    fi
}

copy_kit "$tmp/repo"
probe_folder "$tmp/repo/build" "$tmp/repo"
layout "all under /tmp" "$tmp/repo" "$tmp/repo/build" 0 "3 of 3 tests passed"

rm -rf "$work/outside"
probe_folder "$work/outside" "$tmp/repo"
layout "build folder in the build tree" "$tmp/repo" "$work/outside" 0 "3 of 3 tests passed"

probe_folder "$tmp/build" "$repo" failing
layout "build folder under /tmp, a failing test" "$repo" "$tmp/build" 1 "3 of 4 tests passed"

[ "$failures" = 0 ] || exit 1
echo "the guest kit works in every layout"
