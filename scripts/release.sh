#!/usr/bin/env bash
# Makes a release of the checked-out tree into OUT (default dist/):
#   Quillet-<version>-win32.zip   Quillet.exe, README.TXT, and demo\ with the demo program
#                                 QuilletDemo.exe, its simulated drives (WNASPI32.CFG), the
#                                 sample files and its README.TXT; no DLL anywhere
#   quillet_<version>_<arch>.deb  quillet, its manual page and bash completion, README, copyright,
#                                 built by dpkg-buildpackage from debian/
#   SHA256SUMS                    over both
# The version is debian/changelog's, which must be the program's version record's (quillet
# --version reads it; tests/release/check.sh compares them). The package's .changes and .buildinfo
# stay in WORK beside the package.
#
#   release.sh [--out OUT] [--work WORK]
#
# It builds from an export of the tracked files (uncommitted changes to them included) in WORK
# (default build/release), never from the tree itself, so nothing untracked or left over from an
# earlier build can reach the archives. Two runs of the same commit in different folders give the
# same bytes: every date is the commit's (SOURCE_DATE_EPOCH), no build path reaches a binary, and
# the archives list their files in a fixed order with fixed owners and modes.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

out=$root/dist
work=$root/build/release
while [ $# -gt 0 ]; do
    case "$1" in
        --out) out=$(realpath -m "$2"); shift 2 ;;
        --work) work=$(realpath -m "$2"); shift 2 ;;
        *) echo "usage: $0 [--out OUT] [--work WORK]" >&2; exit 2 ;;
    esac
done
for tool in git cmake ninja i686-w64-mingw32-g++-win32 scdoc zip dpkg-buildpackage dh \
    dpkg-parsechangelog; do
    command -v "$tool" >/dev/null ||
        { echo "release: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

# The tracked files as they are now: git's snapshot of the changes, or HEAD when there are none.
snapshot=$(git stash create)
commit=$(git rev-parse --short=12 HEAD)
if [ -n "$snapshot" ]; then
    commit=$commit-modified
    echo "release: tracked files differ from commit ${commit%-modified}; the release says $commit"
else
    snapshot=HEAD
fi
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct HEAD)}
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C
umask 022

src=$work/src
rm -rf "$work"
mkdir -p "$src" "$out"
git archive "$snapshot" | tar -x -C "$src"
jobs=$(nproc 2>/dev/null || echo 2)

# The Windows product, configured as the tests configure theirs: the same bytes.
echo "release: building Quillet.exe and QuilletDemo.exe"
cmake -S "$src" -B "$work/win32" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$work/win32" -j "$jobs" --target Quillet QuilletDemo >/dev/null

version=$(dpkg-parsechangelog -l "$src/debian/changelog" -S Version)
arch=$(dpkg --print-architecture)
zip_name=Quillet-$version-win32.zip
deb_name=quillet_${version}_$arch.deb

# Fixed times and modes for everything an archive takes in.
settle() {  # folder
    find "$1" -type d -exec chmod 0755 {} +
    find "$1" -type f -exec chmod go-w,u+rw,a+r {} +
    find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}
# A text file with Windows line ends, and the version where it says @VERSION@.
crlf() {  # from to [version]
    sed -e "s/@VERSION@/${3:-}/g" -e 's/\r*$/\r/' "$1" >"$2"
}

# --- The Windows zip. The demo is a program of its own whose drives are simulated in process: no
# simulated WNASPI32.DLL ships, which beside the real program would hide the system's ASPI layer,
# and no copy of the real program, which on the NT family would reach the user's real drives.
echo "release: $zip_name"
tree=$work/zip
mkdir -p "$tree/demo"
cp "$work/win32/bin/Quillet.exe" "$tree/Quillet.exe"
crlf "$src/packaging/windows/README.TXT" "$tree/README.TXT" "$version"
cp "$work/win32/bin/QuilletDemo.exe" "$tree/demo/"
bash "$src/scripts/demo/make-folder.sh" "$tree/demo" >/dev/null
crlf "$tree/demo/WNASPI32.CFG" "$tree/demo/WNASPI32.CFG.crlf"
mv "$tree/demo/WNASPI32.CFG.crlf" "$tree/demo/WNASPI32.CFG"
crlf "$src/packaging/windows/DEMO.TXT" "$tree/demo/README.TXT" "$version"
chmod 0755 "$tree/Quillet.exe" "$tree/demo/QuilletDemo.exe"
settle "$tree"
rm -f "$out/$zip_name"
# -X: no owners or Unix times; the names in sorted order; DOS times are local, so TZ is UTC.
(cd "$tree" && find . -type f -printf '%P\n' | sort | zip -X -9 -q "$out/$zip_name" -@)

# --- The Debian package, by Debian's own tools from debian/: the export names its commit, since
# it has no git to ask.
echo "release: $deb_name"
(cd "$src" && QUILLET_RELEASE_COMMIT=$commit dpkg-buildpackage -us -uc -b -j"$jobs") \
    >"$work/dpkg-buildpackage.log" 2>&1 ||
    { tail -n 30 "$work/dpkg-buildpackage.log" >&2; echo "release: dpkg-buildpackage failed" >&2; exit 1; }
cp "$work/$deb_name" "$out/$deb_name"

(cd "$out" && sha256sum "$zip_name" "$deb_name" >SHA256SUMS)
echo "release: $version (commit $commit) in $out"
(cd "$out" && ls -l "$zip_name" "$deb_name" SHA256SUMS | awk '{ print "  " $5 "\t" $9 }')
