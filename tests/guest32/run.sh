#!/usr/bin/env bash
# Runs tests of the i686 build under 32-bit Wine where this machine's own kernel cannot run 32-bit
# programs: inside a QEMU guest booting Debian's amd64 kernel, which can. The guest sees the
# host's root read-only over virtio-9p, so it runs the very Wine, Xvfb and CTest installed here,
# and writes only into the build folder, shared at its own path.
#
#   run.sh [--no-wine] BUILD FOLDER:PATTERN...
#
# BUILD is the build folder; each FOLDER in it is a configured and built i686 build (such as win32)
# and PATTERN picks its CTest tests. The guest's files (initramfs, Wine prefix) are kept in
# BUILD/guest32/, the kernel and busybox in the guest kit's cache (tests/guest-kit), so a second
# run needs no download; the CTest logs land in BUILD/guest32/ctest.log, the console in
# BUILD/guest32/console.log and a line of totals, or of why there are none, in
# BUILD/guest32/summary. Prints the guest's console, then exits 0 when every test passed.
# --no-wine skips the Wine prefix, for tests that run no Windows program.
# QUILLET_GUEST_ACCEL=tcg forces emulation where KVM works; QUILLET_GUEST_TIMEOUT (seconds,
# default 1800) bounds the whole guest.
set -euo pipefail

wine=1
if [ "${1:-}" = --no-wine ]; then
    wine=0
    shift
fi
if [ $# -lt 2 ]; then
    echo "usage: $0 [--no-wine] BUILD FOLDER:PATTERN..." >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
kit=$repo/tests/guest-kit/kit.sh
build=$(realpath "$1")
out=$build/guest32
mkdir -p "$out"
rm -f "$out/status" "$out/ctest.log" "$out/summary" "$out/console.log"
# The reason also goes where the test summary looks for the guest's result.
die() {
    echo "guest32: $*" >&2
    echo "$*" >"$out/summary"
    exit 1
}
shift
for selection in "$@"; do
    folder=${selection%%:*}
    if [ "$folder" = "$selection" ] || [ -z "$folder" ]; then
        die "not FOLDER:PATTERN: $selection"
    fi
    [ -f "$build/$folder/CTestTestfile.cmake" ] || die "no configured build in $build/$folder"
done
# The kernel's command line carries both paths, and splits at spaces.
case "$repo$build" in *[[:space:]]*) die "the repository and build paths must not hold spaces" ;; esac
command -v qemu-system-x86_64 >/dev/null || die "qemu-system-x86_64 is missing (scripts/install-deps.sh)"

release=$("$kit" fetch) || die "cannot fetch the kernel"
"$kit" initramfs -m 9p -m 9pnet_virtio -m virtio_pci "$here/init" "$out/initramfs.gz" ||
    die "cannot make the guest's initramfs"

for selection in "$@"; do
    printf '%s %s\n' "${selection%%:*}" "${selection#*:}"
done >"$out/tests"

accel=$("$kit" accel) || die "cannot choose how to run QEMU"
echo "guest32: Debian kernel $release under QEMU ($accel)," \
    "guest files $(du -sh "$out" | cut -f1), kit cache $(du -sh "$("$kit" cache)" | cut -f1)"
echo "$accel" >"$out/accel"

start=$SECONDS
rc=0
"$kit" boot "$accel" "${QUILLET_GUEST_TIMEOUT:-1800}" "$out/initramfs.gz" \
    "quillet_build=$build quillet_repo=$repo quillet_wine=$wine" -smp 2 -m 6144 -serial stdio \
    -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
    -virtfs "local,path=$build,mount_tag=build,security_model=none,multidevs=remap" \
    </dev/null | tee "$out/console.log" || rc=${PIPESTATUS[0]}
echo "guest32: the guest ran $((SECONDS - start)) s"
[ "$rc" -ne 124 ] || die "the guest did not end within ${QUILLET_GUEST_TIMEOUT:-1800} s"
[ "$rc" -eq 0 ] || die "QEMU failed ($rc)"
if [ ! -s "$out/status" ]; then
    # The guest's own last word, such as "guest: cannot mount the build folder ...".
    why=$(tr -d '\r' <"$out/console.log" | grep -E '^guest: ' | tail -n 1 || true)
    die "the guest ended without a result${why:+ (${why#guest: })}"
fi
exit "$(cat "$out/status")"
