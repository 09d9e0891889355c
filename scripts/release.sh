#!/usr/bin/env bash
# Makes a release of the checked-out tree into OUT (default dist/):
#   Quillet-<version>-win32.zip   Quillet.exe, README.TXT, and demo\ with the demo program
#                                 QuilletDemo.exe, its simulated drives (WNASPI32.CFG), the
#                                 sample files and its README.TXT; no DLL anywhere
#   quillet_<version>_<arch>.deb  quillet, its manual page and bash completion, README, copyright
#   SHA256SUMS                    over both
# The version is the one the program's version record gives (quillet --version reads it).
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
for tool in git cmake ninja i686-w64-mingw32-g++-win32 scdoc zip dpkg-deb dpkg-shlibdeps \
    dpkg-buildflags; do
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

# The Linux program with Debian's hardening flags; the source and build folders are mapped to
# fixed names in everything the compiler writes.
echo "release: building quillet and its manual page"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
maps="-ffile-prefix-map=$src=. -ffile-prefix-map=$work/native=build"
cmake -S "$src" -B "$work/native" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr -DQUILLET_RELEASE_COMMIT="$commit" \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS) $maps" \
    -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS) $maps" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$work/native" -j "$jobs" --target quillet quillet_manual >/dev/null

version_line=$("$work/native/bin/quillet" --version)
version=$(sed -n 's/^quillet \([0-9][0-9.]*\) (commit .*)$/\1/p' <<<"$version_line")
[ -n "$version" ] || { echo "release: no version in \"$version_line\"" >&2; exit 1; }
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

# --- The Debian package, from the install rules.
echo "release: $deb_name"
pkg=$work/deb
DESTDIR=$pkg cmake --install "$work/native" --strip >/dev/null
# As Debian strips: the compiler's name and version in .comment go too.
strip --remove-section=.comment "$pkg/usr/bin/quillet"
doc=$pkg/usr/share/doc/quillet
install -m 0644 "$src/packaging/debian/copyright" "$doc/copyright"
{
    echo "quillet ($version) unstable; urgency=medium"
    echo
    echo "  * Release of commit $commit."
    echo
    echo " -- $(sed -n 's/^Maintainer: //p' "$src/packaging/debian/control.in")  $(date -R -d "@$SOURCE_DATE_EPOCH")"
} >"$doc/changelog"
# Manual pages and changelogs compressed as Debian keeps them, without name or time in the header.
gzip -9n "$pkg/usr/share/man/man1/quillet.1" "$doc/changelog"

# Dependencies from the libraries the binary links, as dpkg-shlibdeps reads them.
shlibs=$work/shlibs
mkdir -p "$shlibs/debian"
printf 'Source: quillet\n\nPackage: quillet\nArchitecture: any\n' >"$shlibs/debian/control"
depends=$(cd "$shlibs" && dpkg-shlibdeps -O "$pkg/usr/bin/quillet" 2>/dev/null |
    sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "release: dpkg-shlibdeps found no dependencies" >&2; exit 1; }

mkdir -p "$pkg/DEBIAN"
(cd "$pkg" && find usr -type f | sort | xargs md5sum) >"$pkg/DEBIAN/md5sums"
size=$(du -sk --apparent-size --exclude=DEBIAN "$pkg" | cut -f1)
sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@DEPENDS@/$depends/" \
    -e "s/@SIZE@/$size/" "$src/packaging/debian/control.in" >"$pkg/DEBIAN/control"
settle "$pkg"
chmod 0755 "$pkg/usr/bin/quillet"
dpkg-deb --root-owner-group -Zxz --build "$pkg" "$out/$deb_name" >/dev/null

(cd "$out" && sha256sum "$zip_name" "$deb_name" >SHA256SUMS)
echo "release: $version (commit $commit) in $out"
(cd "$out" && ls -l "$zip_name" "$deb_name" SHA256SUMS | awk '{ print "  " $5 "\t" $9 }')
