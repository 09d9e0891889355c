#!/usr/bin/env bash
# quillet --simulate over the demo's catalogue, images and WNASPI32.CFG: the list (also over the
# catalogue saved as UTF-16), a refused start, whole updates of the plain and the tagged model,
# checked against the commands the pass-through download sends (journal) and the image each drive
# received, and downloads the drive stops, with what the user is told of the drive's state.
#
# usage: simulated_update.sh QUILLET WORK_DIR
set -euo pipefail

quillet=$(realpath "$1")
work=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$work"
"$root/scripts/demo/make-folder.sh" "$work" >/dev/null
cd "$work"
# The waits of a simulated run take no real time.
sed -i 's/^\[ASPI\]$/[ASPI]\nVirtualTime=1/' WNASPI32.CFG

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
q() { "$quillet" --simulate WNASPI32.CFG "$@" </dev/null; }

# The journal lines of a pass-through download of FILE's bytes OFFSET.. (LENGTH bytes) from
# product code CODE, after the commands numbered before FIRST: twelve TEST UNIT READY on an
# empty drive, the blocks, the closing command.
expected_journal() {  # first code length
    local n=$1 offset=$(($2)) left=$3 size
    for _ in $(seq 12); do
        echo "$n 00 00 00 00 00 00 in 0 CHECK 02/3A/01"
        n=$((n + 1))
    done
    while ((left > 0)); do
        size=$((left >= 16384 ? 16384 : (left + 2047) / 2048 * 2048))
        printf '%d 3B 05 00 %02X %02X %02X %02X %02X %02X 00 out %d GOOD\n' $n \
            $((offset >> 16 & 255)) $((offset >> 8 & 255)) $((offset & 255)) \
            $((size >> 16 & 255)) $((size >> 8 & 255)) $((size & 255)) $size
        n=$((n + 1))
        offset=$((offset + size))
        left=$((left > 16384 ? left - 16384 : 0))
    done
    printf '%d 3B 05 00 %02X %02X %02X 00 00 00 00 out 0 GOOD\n' $n \
        $((offset >> 16 & 255)) $((offset >> 8 & 255)) $((offset & 255))
}
# The bytes a drive must hold: LENGTH bytes of FILE from OFFSET, zero-padded to 2048.
expected_image() {  # file offset length
    tail -c +$(($2 + 1)) "$1" | head -c "$3"
    head -c $((($3 + 2047) / 2048 * 2048 - $3)) /dev/zero
}

out=$(q list)
grep -q "^Drive0  KORVIN   MTX5160E         1.0q$" <<<"$out" || fail "list: Drive0"
grep -q "^Drive1  KORVIN   CDRW-8432        1.1a$" <<<"$out" || fail "list: Drive1"
grep -q "offered: 1.0r CDRW8432.BIN" <<<"$out" || fail "list: offered firmware"
grep -q "OTHERCO\|Drive2" <<<"$out" && fail "list: the other vendor's drive is listed"

# The same catalogue saved as UTF-16 (Notepad's "Unicode") offers the same firmware.
mkdir utf16
{
    printf '\xff\xfe'
    iconv -f ASCII -t UTF-16LE tarvex.ini
} >utf16/tarvex.ini
cp ./*.BIN utf16/
[ "$(q --catalog utf16 list)" = "$out" ] || fail "list over a UTF-16 catalogue"

# Not confirmed, and older: nothing but the search's INQUIRY reaches the drive.
if q --allow-older update Drive1 CDRW8432.BIN >refused.txt 2>&1; then fail "unconfirmed update ran"; fi
grep -q "the update was not confirmed (--yes confirms it)" refused.txt || fail "refusal message"
if q --yes update Drive1 CDRW8432.BIN >older.txt 2>&1; then fail "older firmware went on"; fi
grep -q "The version is old." older.txt || fail "old-version question"
[ "$(grep -vc ' 12 00 00 00 FF 00 in 1024 GOOD$' Drive1.LOG)" = 0 ] || fail "refused runs sent commands"
rm -f Drive*.LOG

q --yes --allow-older update Drive1 CDRW8432.BIN >plain.txt 2>&1 || fail "plain update failed"
grep -q "The firmware has installed successfully." plain.txt || fail "plain: completion text"
diff <(expected_journal 2 0x340000 70000) <(tail -n +2 Drive1.LOG) || fail "plain: journal"
cmp -s <(expected_image CDRW8432.BIN 0 70000) Drive1.IMG || fail "plain: received image"

q --yes update Drive0 >tagged.txt 2>&1 || fail "tagged update failed"
sed -n 2p Drive0.LOG | grep -q "^2 3C 02 00 00 80 04 00 00 08 00 in 8 GOOD$" || fail "tagged: tag read"
diff <(expected_journal 3 0x200000 40000) <(tail -n +3 Drive0.LOG) || fail "tagged: journal"
cmp -s <(expected_image MTX5160.BIN 0 40000) Drive0.IMG || fail "tagged: received image"

# A download the drive stops: what the user is told of the drive's state follows what the
# download says it sent, not a count of commands below it. Drive1's WRITE BUFFER commands are
# numbers 14 to 18, the closing one 19.
stopped() {  # command-number expected-line
    rm -f Drive*.LOG Drive*.IMG
    sed "s/^\[Drive1\]$/[Drive1]\nFault1=check $1 3B 04\/44\/00/" WNASPI32.CFG >STOP.CFG
    if "$quillet" --simulate STOP.CFG --yes --allow-older update Drive1 CDRW8432.BIN </dev/null >stop$1.txt 2>&1; then
        fail "stop at $1: reported as updated"
    fi
    grep -qF "The drive rejected WRITE BUFFER" stop$1.txt || fail "stop at $1: the drive's refusal"
    grep -qF "$2" stop$1.txt || fail "stop at $1: expected \"$2\""
    [ ! -e Drive1.IMG ] || fail "stop at $1: the drive holds a whole image"
}
stopped 14 "The drive was not updated."
stopped 16 "The drive took 2 WRITE BUFFER commands before the stop: it holds an incomplete download"
stopped 19 "The drive took 5 WRITE BUFFER commands before the stop"

if ((failures > 0)); then
    cat ./*.txt >&2
    exit 1
fi
echo "ok: list, refusals, two whole updates and three stopped ones over the simulated drives"
