#!/usr/bin/env bash
# Installs what building and testing Quillet needs on Debian 12 (or Ubuntu): host toolchain and
# GoogleTest, mingw-w64 for i686 and x86-64, Wine with 32-bit support, Xvfb, ImageMagick, Japanese fonts,
# and QEMU and cpio for the guests: the Linux program's tests against a real kernel's SCSI target, and
# the i686 tests where this kernel cannot run 32-bit programs.
# Quick when everything is already there.
set -euo pipefail

packages=(g++ cmake ninja-build make googletest libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev clang-format
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 xvfb xauth imagemagick
    fonts-ipafont-gothic fonts-ipafont-mincho
    qemu-system-x86 cpio)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "install-deps: run as root or install sudo" >&2; exit 1; }
    sudo=sudo
fi
echo "install-deps: installing ${missing[*]}"
$sudo dpkg --add-architecture i386
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
