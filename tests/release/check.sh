#!/usr/bin/env bash
# Checks a release made by scripts/release.sh against the build the tests ran:
#   - lintian finds no error and no warning in the Debian package and its .changes (which the
#     release leaves in BUILD/release);
#   - the package unpacks, its quillet answers --version and --help, its manual page renders and
#     its completion is valid bash, and the package's autopkgtest passes with it;
#   - the zip's Quillet.exe and its demo folder's QuilletDemo.exe are the tested ones (BUILD/win32),
#     the zip holds no DLL, the demo folder holds the demo program, its simulated drives, the
#     samples and its README and nothing else, and the demo program imports no device access;
#   - a second release of the same tree in another folder has the same SHA256SUMS.
# Prints what the archives hold and how long each step took. Leaves BUILD/release-check configured:
# its CTest test runs the demo's whole updates on the NT family's path in the unpacked demo folder
# (tests/release/CMakeLists.txt).
#
#   check.sh BUILD DIST
set -euo pipefail
if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD DIST" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(realpath "$1")
dist=$(realpath "$2")
tested=$build/win32/bin/Quillet.exe
tested_demo=$build/win32/bin/QuilletDemo.exe
check=$build/release-check
export LC_ALL=C.UTF-8

fail() {
    echo "release check: FAIL: $*" >&2
    exit 1
}
step_start=$SECONDS
step() {
    echo "release check: $1 ($((SECONDS - step_start)) s)"
    step_start=$SECONDS
}

zip=$(find "$dist" -maxdepth 1 -name 'Quillet-*-win32.zip')
deb=$(find "$dist" -maxdepth 1 -name 'quillet_*.deb')
[ -f "$zip" ] && [ -f "$deb" ] && [ -f "$dist/SHA256SUMS" ] ||
    fail "$dist lacks the zip, the package or SHA256SUMS"
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the archives"

# 1. Debian's own checker; every remaining tag must be an override with its reason.
# Its remark on running as root is no finding.
lintian_rc=0
changes=$build/release/$(basename "$deb" .deb).changes
[ -f "$changes" ] || fail "no $changes beside the release's package"
lintian --fail-on error,warning --show-overrides "$deb" "$changes" >"$check.lintian" 2>&1 ||
    lintian_rc=$?
sed -i '/^running with root privileges/d' "$check.lintian"
cat "$check.lintian"
[ "$lintian_rc" = 0 ] || fail "lintian found errors or warnings (exit $lintian_rc)"
step "lintian: $(grep -c . "$check.lintian" || true) lines of findings"

# 2. The package as a user's system would unpack it.
rm -rf "$check"
mkdir -p "$check"
dpkg-deb -x "$deb" "$check/root"
echo "release check: $(basename "$deb"):"
dpkg-deb -I "$deb" | sed -n 's/^ \(Version\|Depends\|Installed-Size\): /    \1: /p'
dpkg-deb -c "$deb" | awk '$3 > 0 { printf "    %8d  %s\n", $3, $6 }'
quillet=$check/root/usr/bin/quillet
version=$("$quillet" --version) || fail "quillet --version failed"
[[ $version == "quillet $(basename "$deb" | cut -d_ -f2) (commit "* ]] ||
    fail "quillet --version says \"$version\", the package $(basename "$deb")"
"$quillet" --help | grep -q '^Usage: quillet ' || fail "quillet --help printed no usage"
page=$check/root/usr/share/man/man1/quillet.1.gz
rendered=$(MANWIDTH=80 man -l "$page" 2>"$check/man.err") || fail "man -l failed: $(cat "$check/man.err")"
[ ! -s "$check/man.err" ] || fail "man -l complained: $(cat "$check/man.err")"
grep -q '^NAME' <<<"$rendered" || fail "the manual page has no NAME section"
bash -n "$check/root/usr/share/bash-completion/completions/quillet" ||
    fail "the bash completion does not parse"
[ -s "$check/root/usr/share/doc/quillet/copyright" ] || fail "no copyright file"
for po in "$root"/po/*.po; do
    mo=$check/root/usr/share/locale/$(basename "$po" .po)/LC_MESSAGES/quillet.mo
    [ -s "$mo" ] || fail "the package lacks ${mo#"$check/root"}"
done
# The manual page's example: the packaged demo writer and the simulated drives, up to the plan.
bash "$check/root/usr/share/doc/quillet/examples/make-demo-folder.sh" "$check/korvin" ||
    fail "the packaged demo writer failed"
sim=(--catalog "$check/korvin" --simulate "$check/korvin/WNASPI32.CFG")
"$quillet" "${sim[@]}" list | grep -q 'MTX5160E' || fail "quillet list shows no simulated drive"
"$quillet" "${sim[@]}" --dry-run update Drive0 >"$check/dry-run.out" ||
    fail "the dry run on the simulated drive failed: $(cat "$check/dry-run.out")"
# The package's own test (debian/tests), run here on the unpacked program.
(cd "$root" && PATH=$check/root/usr/bin:$PATH AUTOPKGTEST_TMP=$check/autopkgtest \
    debian/tests/simulated-drives) >"$check/autopkgtest.log" 2>&1 ||
    fail "debian/tests/simulated-drives: $(tail -n 20 "$check/autopkgtest.log")"
step "the package unpacks; $version; manual page of $(wc -l <<<"$rendered") lines; autopkgtest passes"

# 3. The zip: the tested programs, no library, and in the demo folder only the demo.
unzip -q "$zip" -d "$check/zip"
echo "release check: $(basename "$zip"):"
zipinfo -l "$zip" | awk '/^-/ { printf "    %8d  %s\n", $4, $NF }'
[ "$(sha256sum <"$check/zip/Quillet.exe")" = "$(sha256sum <"$tested")" ] ||
    fail "the zip's Quillet.exe is not the tested $tested"
[ "$(sha256sum <"$check/zip/demo/QuilletDemo.exe")" = "$(sha256sum <"$tested_demo")" ] ||
    fail "the demo's QuilletDemo.exe is not the tested $tested_demo"
dlls=$(find "$check/zip" -iname '*.dll')
[ -z "$dlls" ] || fail "the zip holds a DLL: $dlls"
demo_files=$(cd "$check/zip/demo" && find . -type f -printf '%P\n' | sort | tr '\n' ' ')
expect_demo="CDRW8432.BIN MTX5160.BIN QuilletDemo.exe README.TXT WNASPI32.CFG tarvex.ini "
[ "$demo_files" = "$expect_demo" ] ||
    fail "the demo folder holds \"$demo_files\", not \"$expect_demo\""
for f in $expect_demo; do
    [ -s "$check/zip/demo/$f" ] || fail "the demo folder's $f is empty"
done
/usr/bin/python3 "$root/tests/imports/check_imports.py" \
    --allowed "$root/tests/imports/allowed_imports.txt" \
    --forbidden "$root/tests/imports/demo_forbidden.txt" \
    "$check/zip/demo/QuilletDemo.exe" >"$check.demo-imports" 2>&1 ||
    fail "the demo's program has a way to a real drive: $(grep 'NOT ALLOWED' "$check.demo-imports")"
for f in README.TXT demo/README.TXT; do
    if grep -q $'[^\r]$' "$check/zip/$f" || grep -q '@VERSION@' "$check/zip/$f"; then
        fail "$f has a line without CR LF or an unreplaced version"
    fi
done
step "the zip holds the tested Quillet.exe ($(sha256sum <"$tested" | cut -c1-16)...) and\
 QuilletDemo.exe ($(sha256sum <"$tested_demo" | cut -c1-16)...), no DLL"

# The demo's updates run from here, in CTest, under Wine or in the QEMU guest.
cmake -S "$here" -B "$check/demo-test" -DQUILLET_DEMO_FOLDER="$check/zip/demo" \
    -DQUILLET_UIDRIVER="$build/win32/bin/uidriver.exe" >/dev/null

# 4. The same tree released again in another folder gives the same bytes.
again=$(mktemp -d "${TMPDIR:-/tmp}/quillet-release-again.XXXXXX")
trap 'rm -rf "$again"' EXIT
"$root/scripts/release.sh" --work "$again/work" --out "$again/dist" >"$again/log" 2>&1 ||
    fail "the second release failed: $(cat "$again/log")"
if ! cmp -s "$dist/SHA256SUMS" "$again/dist/SHA256SUMS"; then
    diff "$dist/SHA256SUMS" "$again/dist/SHA256SUMS" >&2 || true
    fail "a second release in $again differs"
fi
step "a second release in another folder: the same SHA256SUMS"
