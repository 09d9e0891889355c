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
# BUILD/guest32/, the downloads (kernel, busybox) in QUILLET_GUEST_CACHE (default BUILD/guest32),
# so a second run needs no download; the CTest logs land in BUILD/guest32/ctest.log, the console in
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
    [ "$folder" != "$selection" ] && [ -n "$folder" ] || die "not FOLDER:PATTERN: $selection"
    [ -f "$build/$folder/CTestTestfile.cmake" ] || die "no configured build in $build/$folder"
done
# The kernel's command line carries both paths, and splits at spaces.
case "$repo$build" in *[[:space:]]*) die "the repository and build paths must not hold spaces" ;; esac
command -v qemu-system-x86_64 >/dev/null || die "qemu-system-x86_64 is missing (scripts/install-deps.sh)"

cache=${QUILLET_GUEST_CACHE:-$out}
mkdir -p "$cache/debs"
cache=$(realpath "$cache")
"$here/fetch-kernel.sh" "$cache/kernel" 9p 9pnet_virtio virtio_pci || die "cannot fetch the kernel"

busybox=$(find "$cache/debs" -name 'busybox-static_*.deb' | head -n 1)
if [ -z "$busybox" ]; then
    (cd "$cache/debs" && apt-get download -q busybox-static 2>&1 |
        grep -v -e '^W: Download is performed unsandboxed' -e '^Get:') || true
    busybox=$(find "$cache/debs" -name 'busybox-static_*.deb' | head -n 1)
    [ -n "$busybox" ] || die "cannot download busybox-static"
fi

# The initramfs: busybox, the modules that reach the host's files, and init.
staging=$(mktemp -d "$out/initramfs.XXXXXX")
trap 'rm -rf "$staging"' EXIT
dpkg-deb --fsys-tarfile "$busybox" | tar -x -C "$staging" ./bin/busybox
mkdir -p "$staging"/{proc,sys,dev,host}
cp -r "$cache/kernel/modules" "$staging/modules"
cp "$here/init" "$staging/init"
(cd "$staging" && find . | "$staging/bin/busybox" cpio -o -H newc 2>/dev/null) |
    gzip -1 >"$out/initramfs.gz"
rm -rf "$staging"

for selection in "$@"; do
    printf '%s %s\n' "${selection%%:*}" "${selection#*:}"
done >"$out/tests"

# KVM where it works: a nested one can fail to start or hang, so the kernel must boot to its
# panic (no root file system) within a few seconds first. Emulation is the fallback; its CPU has
# no SMAP, whose checks QEMU's emulation applies wrongly to a return to 32-bit code.
kvm=(-accel kvm -cpu "host,-arch-capabilities")
tcg=(-accel tcg -cpu "max,smap=off")
accel=("${tcg[@]}")
accel_name=tcg
if [ "${QUILLET_GUEST_ACCEL:-}" != tcg ] && [ -r /dev/kvm ] && [ -w /dev/kvm ] &&
    timeout 10 qemu-system-x86_64 "${kvm[@]}" -m 256 -nodefaults -no-reboot -display none \
        -serial none -kernel "$cache/kernel/vmlinuz" -append "panic=-1" </dev/null >/dev/null 2>&1; then
    accel=("${kvm[@]}")
    accel_name=kvm
fi
echo "guest32: Debian kernel $(cat "$cache/kernel/release") under QEMU ($accel_name)," \
    "guest files $(du -sh --exclude=debs "$out" | cut -f1) (downloads $(du -sh "$cache/debs" "$cache/kernel/debs" | cut -f1 | paste -sd+))"
echo "$accel_name" >"$out/accel"

start=$SECONDS
rc=0
timeout "${QUILLET_GUEST_TIMEOUT:-1800}" qemu-system-x86_64 "${accel[@]}" -smp 2 -m 6144 \
    -nodefaults -no-reboot -display none -serial stdio \
    -kernel "$cache/kernel/vmlinuz" -initrd "$out/initramfs.gz" \
    -append "console=ttyS0 quiet panic=-1 quillet_build=$build quillet_repo=$repo quillet_wine=$wine" \
    -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
    -virtfs "local,path=$build,mount_tag=build,security_model=none,multidevs=remap" \
    </dev/null | tee "$out/console.log" || rc=${PIPESTATUS[0]}
echo "guest32: the guest ran $((SECONDS - start)) s"
[ $rc -ne 124 ] || die "the guest did not end within ${QUILLET_GUEST_TIMEOUT:-1800} s"
[ $rc -eq 0 ] || die "QEMU failed ($rc)"
if [ ! -s "$out/status" ]; then
    # The guest's own last word, such as "guest: cannot mount the build folder ...".
    why=$(tr -d '\r' <"$out/console.log" | grep -E '^guest: ' | tail -n 1 || true)
    die "the guest ended without a result${why:+ (${why#guest: })}"
fi
exit "$(cat "$out/status")"
