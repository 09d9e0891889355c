#!/usr/bin/env bash
# Installs what building and testing Quillet needs on Debian 12 (or Ubuntu): host toolchain and
# GoogleTest, mingw-w64 for i686 and x86-64, Wine with 32-bit support, Xvfb, ImageMagick, Japanese fonts,
# the UTF-8 locales of the end-to-end tests' languages, and QEMU and cpio for the guests: the Linux
# program's tests against a real kernel's SCSI target, and the i686 tests where this kernel cannot
# run 32-bit programs, with sg3-utils' sg_write_buffer as the peer the served drives compare
# quillet's downloads with; the JSON and command-line libraries of the Linux program, gettext for
# its catalogues, and jq, which its tests read the JSON with; and what a release is made and checked with: scdoc and mandoc for
# the manual page, man-db, Debian's package tools (debhelper, which builds the package from
# debian/) and lintian, zip; xxd for the fuzz targets' seeds.
# Quick when everything is already there.
set -euo pipefail

packages=(g++ cmake ninja-build make googletest libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev clang-format xxd
    g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 xvfb xauth imagemagick
    fonts-ipafont-gothic fonts-ipafont-mincho locales
    qemu-system-x86 cpio sg3-utils
    nlohmann-json3-dev libcli11-dev gettext jq e2fsprogs
    scdoc mandoc man-db lintian dpkg-dev debhelper zip unzip)
# Wine reads Unix file names in the charset of the test's locale; without the locale it falls back
# to ASCII and a UTF-8 name such as "Ü8432.BIN" reaches the program as other characters.
locales=(de_DE.UTF-8 en_US.UTF-8 es_ES.UTF-8 fr_FR.UTF-8 it_IT.UTF-8 ja_JP.UTF-8)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# `locale -a` spells them as de_DE.utf8.
missing_locales=()
for l in "${locales[@]}"; do
    locale -a 2>/dev/null | grep -qx "${l%.UTF-8}.utf8" || missing_locales+=("$l")
done
[ ${#missing[@]} -eq 0 ] && [ ${#missing_locales[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "install-deps: run as root or install sudo" >&2; exit 1; }
    sudo=sudo
fi
if [ ${#missing[@]} -gt 0 ]; then
    echo "install-deps: installing ${missing[*]}"
    $sudo dpkg --add-architecture i386
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
if [ ${#missing_locales[@]} -gt 0 ]; then
    echo "install-deps: generating the locales ${missing_locales[*]}"
    for l in "${missing_locales[@]}"; do
        # Uncommented where /etc/locale.gen lists it, added where it does not.
        $sudo sed -i "s/^# *\($l UTF-8\)\$/\1/" /etc/locale.gen
        grep -qx "$l UTF-8" /etc/locale.gen || echo "$l UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
    done
    $sudo locale-gen >/dev/null
fi
