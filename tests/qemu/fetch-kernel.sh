#!/usr/bin/env bash
# Fetches Debian's own kernel and a static busybox from Debian's packages into a cache folder,
# for guests that boot them under QEMU. Everything stays inside that folder; a second run finds
# it there and fetches nothing.
#
# usage: fetch-kernel.sh CACHE
#   CACHE/vmlinuz              the kernel of linux-image-amd64 (its current version)
#   CACHE/modules/             /lib/modules/VERSION of the same package (CACHE/modules/VERSION/...)
#   CACHE/busybox              busybox from busybox-static, statically linked
#   CACHE/version              VERSION
# Prints VERSION. Needs apt-get (with current package lists) and dpkg-deb; not root.
set -euo pipefail

cache=${1:?usage: fetch-kernel.sh CACHE}
mkdir -p "$cache"
cache=$(cd "$cache" && pwd)
if [ -s "$cache/version" ] && [ -s "$cache/vmlinuz" ] && [ -x "$cache/busybox" ]; then
    cat "$cache/version"
    exit 0
fi

# linux-image-amd64 names the versioned package that holds the kernel.
image=$(apt-cache depends linux-image-amd64 2>/dev/null |
    awk '/Depends: linux-image-[0-9]/ { print $2; exit }')
if [ -z "$image" ]; then
    echo "fetch-kernel: no linux-image-amd64 in the package lists (apt-get update?)" >&2
    exit 1
fi

work=$(mktemp -d "$cache/fetch.XXXXXX")
chmod 755 "$work"  # apt-get download hands the file to its own user
trap 'rm -rf "$work"' EXIT
(cd "$work" && apt-get download -qq "$image" busybox-static >/dev/null 2>"$work/apt.log") ||
    { cat "$work/apt.log" >&2; exit 1; }
dpkg-deb -x "$work"/linux-image-*.deb "$work/kernel"
dpkg-deb -x "$work"/busybox-static_*.deb "$work/busybox"

version=$(ls "$work/kernel/lib/modules")
rm -rf "$cache/modules"
mkdir -p "$cache/modules"
mv "$work/kernel/lib/modules/$version" "$cache/modules/$version"
mv "$work/kernel/boot/vmlinuz-$version" "$cache/vmlinuz"
mv "$work/busybox/bin/busybox" "$cache/busybox"
echo "$version" >"$cache/version"
echo "$version"
