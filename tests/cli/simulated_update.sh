#!/usr/bin/env bash
# quillet --simulate over the demo's catalogue, images and WNASPI32.CFG: the list (also over the
# catalogue saved as UTF-16), a refused start, whole updates of the plain and the tagged model,
# checked against the commands the pass-through download sends (journal) and the image each drive
# received, downloads the drive stops, with what the user is told of the drive's state, and
# Ctrl-C and Ctrl-Z during an update.
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
grep -q "The firmware offered (1.0r) is older than the drive's (1.1a)." older.txt ||
    fail "old-version question"
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

# Which firmware: the newest offered one whose file the folder holds (1.2b's file is missing), a
# named file or a path to one in the catalogue folder; a missing or foreign one is refused
# before any question, and so before anything but the search reaches the drive.
choose() {  # expected-entry-or-refusal expected-exit image...
    rm -f Drive*.LOG
    local rc=0
    q --yes --allow-older --dry-run update Drive1 "${@:3}" >choose.txt 2>&1 || rc=$?
    grep -qF "$1" choose.txt || fail "choose ${*:3}: expected \"$1\""
    [ "$rc" = "$2" ] || fail "choose ${*:3}: exit $rc, expected $2"
}
choose "Firmware: 1.0r CDRW8432.BIN" 0
choose "Firmware: 1.0r CDRW8432.BIN" 0 "$PWD/CDRW8432.BIN"
choose "CDRW843N.BIN is offered for CDRW-8432 but is not in $PWD; the catalogue expects:" 2 CDRW843N.BIN
grep -qF "    CDRW8432.BIN  (1.0r CDRW8432.BIN)" choose.txt || fail "choose a missing file: the files expected"
choose "is not offered for CDRW-8432 in $PWD" 2 /tmp/CDRW8432.BIN
[ "$(grep -vc ' 12 00 00 00 FF 00 in 1024 GOOD$' Drive1.LOG)" = 0 ] || fail "a refused choice sent commands"
# An entry that names the folder, its parent or a file of another folder is no file of the
# catalogue, however new its version and whatever exists there.
for bad in .. ../CDRW8432.BIN; do
    rm -rf dots && mkdir dots && cp ./*.ini CDRW8432.BIN dots/
    sed -i "s|^FILENAME1=1.2b CDRW843N.BIN|FILENAME1=9.9z $bad|" dots/tarvex.ini
    q --catalog dots --yes --allow-older --dry-run update Drive1 >dots.txt 2>&1 ||
        fail "an entry \"$bad\": $(cat dots.txt)"
    grep -qF "Firmware: 1.0r CDRW8432.BIN" dots.txt || fail "an entry \"$bad\" was chosen: $(cat dots.txt)"
done
mkdir -p empty && cp ./*.ini empty/
if (cd empty && "$quillet" --simulate ../WNASPI32.CFG --yes update Drive1 >../none.txt 2>&1 </dev/null); then
    fail "an update without firmware files ran"
fi
grep -qF "None of the firmware files the catalogue offers for CDRW-8432 is in $PWD/empty" none.txt ||
    fail "missing files: the folder searched"

# A dry run: the plan, the disc check's TEST UNIT READY and nothing else; a disc makes it fail.
dry() {  # disc expected-exit expected-line [option]
    rm -f Drive*.LOG
    sed "s/^\[Drive1\]$/[Drive1]\nDisc=$1/" WNASPI32.CFG >DRY.CFG
    local rc=0
    "$quillet" --simulate DRY.CFG --dry-run ${4:-} update Drive1 </dev/null >dry$1.txt 2>&1 || rc=$?
    [ "$rc" = "$2" ] || fail "dry run, disc $1: exit $rc, expected $2"
    grep -qF "$3" dry$1.txt || fail "dry run, disc $1: expected \"$3\""
    grep -q "^Sends:    5 WRITE BUFFER blocks .* 71680 bytes, at offsets 340000h to 350000h$" dry$1.txt &&
        grep -q "^          then the closing command at 351800h$" dry$1.txt ||
        fail "dry run, disc $1: the plan"
    [ "$(tail -n +2 Drive1.LOG | grep -vc ' 00 00 00 00 00 00 in 0 ')" = 0 ] ||
        fail "dry run, disc $1: sent more than TEST UNIT READY"
    [ "$(wc -l <Drive1.LOG)" = 12 ] || fail "dry run, disc $1: expected 11 TEST UNIT READY"
}
# The firmware offered is older than Drive1's: the update would ask about it, unless told.
dry 0 0 "The drive holds no disc: the update would ask whether to install the firmware offered (1.0r), older than the drive's (1.1a); --allow-older answers that question."
dry 0 0 "The drive holds no disc: the update would start." --allow-older
dry 1 1 "A disc is in the drive: the update would eject it and stop."

q --version | grep -qE "^quillet [0-9]+(\.[0-9]+){3} \(commit ([0-9a-f]+|unknown)\)$" ||
    fail "--version"

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
stopped 14 "The drive was not updated. Nothing was written to it."
stopped 16 "The drive took 2 WRITE BUFFER commands before the stop: it holds an incomplete download"
stopped 19 "The drive took 5 WRITE BUFFER commands before the stop"

# The closing command whose answer never came (a command the drive never completes, or a
# communication failure on the way): the drive may be saving the firmware, so the program gives
# it the programming time, does not say it still runs the old one, and ends with 6.
unanswered() {  # fault expected-line
    rm -f Drive*.LOG Drive*.IMG
    sed "s|^\[Drive1\]$|[Drive1]\nFault1=$1|" WNASPI32.CFG >CLOSE.CFG
    local rc=0
    "$quillet" --simulate CLOSE.CFG --yes --allow-older update Drive1 CDRW8432.BIN </dev/null \
        >close.txt 2>&1 || rc=$?
    [ "$rc" = 6 ] || fail "closing command, $1: exit $rc, expected 6"
    grep -qF "$2" close.txt || fail "closing command, $1: expected \"$2\""
    grep -qF "The drive took all 5 WRITE BUFFER blocks, but the answer to the closing command" \
        close.txt || fail "closing command, $1: where the drive stands"
    grep -qF "Now power down the computer and the drive" close.txt ||
        fail "closing command, $1: the wait's end"
    ! grep -qF "still runs its old firmware" close.txt || fail "closing command, $1: old firmware claimed"
}
unanswered "never 19 3B" "The drive did not complete WRITE BUFFER in time."
unanswered "check 19 3B 02/08/00" "logical unit communication failure"

# What is wrong with a command line or a folder, each in its own line, with exit 2 (1 for a
# folder without a catalogue, where the drives are still listed).
said() {  # expected-exit expected-line arguments...
    local rc=0
    # Bounded: a program that opens a FIFO for writing waits for a reader.
    timeout 20 "$quillet" "${@:3}" </dev/null >said.txt 2>&1 || rc=$?
    [ "$rc" = "$1" ] || fail "quillet ${*:3}: exit $rc, expected $1"
    grep -qF -- "$2" said.txt || fail "quillet ${*:3}: expected \"$2\""
}
mkdir -p nocatalogue
said 1 "No catalogue (*.ini) in $PWD/nocatalogue: --catalog names the folder" \
    --simulate WNASPI32.CFG --catalog nocatalogue list
# That one sentence alone: not the Windows program's boxes, and the listing alone on stdout.
grep -q "Not found" said.txt && fail "list without a catalogue: the boxes' texts: $(cat said.txt)"
printf '[ASPI]\nAdapters=1\nDrives=0\n[Adapter0]\nScsiId=7\n' >NONE.CFG
"$quillet" --simulate NONE.CFG --catalog nocatalogue list </dev/null >none.out 2>none.err || true
[ ! -s none.out ] || fail "list without drives: standard output holds $(cat none.out)"
[ "$(cat none.err)" = "No CD drive of Korvin found.
No catalogue (*.ini) in $PWD/nocatalogue: --catalog names the folder of the catalogue and the firmware images." ] ||
    fail "list without drives or catalogue: $(cat none.err)"
# Each command's --help names the options that apply to it, and only those.
for row in "list:--catalog --simulate --transcript -v --json" \
    "update:--catalog --simulate --transcript -v --json --yes --allow-older --dry-run"; do
    command=${row%%:*}
    named=$("$quillet" "$command" --help | sed -n '/^  -h,/d; s/^  \(-[^ ]*\).*/\1/p' | tr '\n' ' ')
    [ "$named" = "${row#*:} " ] || fail "$command --help names \"$named\""
done
# The transcript goes only to a regular file of its own: never through a symbolic link, to a
# FIFO, a folder or a file with another name; such a path is refused with 2, nothing touched.
echo precious >victim.txt
ln -sf victim.txt link.tx
mkfifo fifo.tx
ln -f victim.txt hard.tx
for row in "link.tx:is a symbolic link" "fifo.tx:is not a regular file" ".:is not a regular file" \
    "hard.tx:has other names (hard links)"; do
    said 2 "quillet: $PWD/${row%%:*} ${row#*:}" --simulate WNASPI32.CFG --transcript "${row%%:*}" list
done
[ "$(cat victim.txt)" = precious ] || fail "a refused transcript wrote to the file: $(cat victim.txt)"
rm -f link.tx fifo.tx hard.tx victim.txt
said 2 "--simulate: File does not exist: MISSING.CFG" --simulate MISSING.CFG list
said 2 "lst is not a command: the commands are list and update." lst
said 2 "lst is not a command: the commands are list and update." --catalog . -v lst
said 2 "--catalog: 1 required DIR missing" list --catalog
said 2 "The following argument was not expected: extra" --simulate WNASPI32.CFG list extra
said 2 "DEVICE is required" update
said 0 "Usage: quillet [OPTIONS] SUBCOMMAND" --help

# --json: one document on standard output, read here with jq.
q --json list >list.json 2>list.err || fail "list --json failed"
[ ! -s list.err ] || fail "list --json: standard error holds $(cat list.err)"
[ "$(jq -r '.drives[] | select(.node == "Drive1") | [.vendor, .product, .revision] | join(" ")' list.json)" = \
    "KORVIN CDRW-8432 1.1a" ] || fail "list --json: the drive"
[ "$(jq -c '[.drives[] | select(.node == "Drive1") | .offered[] | [.file, .present]]' list.json)" = \
    '[["CDRW843N.BIN",false],["CDRW8432.BIN",true]]' ] || fail "list --json: the entries offered"
[ "$(jq -r '.drives[] | select(.node == "Drive1") | "\(.newest_available.version) \(.runs_newest)"' list.json)" = \
    "1.0r false" ] || fail "list --json: the newest available"
q --json --dry-run update Drive1 >dry.json 2>dry.err || fail "update --json --dry-run failed"
[ ! -s dry.err ] || fail "update --json --dry-run: standard error holds $(cat dry.err)"
# A drive whose answer holds an escape sequence and a byte that is not UTF-8: the terminal gets
# dots, the JSON the characters escaped or replaced, and neither run fails.
printf '[ASPI]\nAdapters=1\nDrives=1\n[Adapter0]\nScsiId=7\n[Drive0]\nTarget=1\nProduct=MTX\033[2J\nRevision=1.\3510\n' \
    >ODD.CFG
"$quillet" --simulate ODD.CFG list </dev/null >odd.txt 2>/dev/null || fail "list of an odd drive failed"
[ "$(head -n 1 odd.txt)" = "Drive0  KORVIN   MTX.[2J          1..0" ] ||
    fail "list of an odd drive: $(head -n 1 odd.txt | od -c | head -n 2)"
"$quillet" --simulate ODD.CFG --json list </dev/null >odd.json 2>/dev/null ||
    fail "list --json of an odd drive failed"
[ "$(jq -r '.drives[0].revision' odd.json)" = "1.$(printf '\357\277\275')0" ] ||
    fail "list --json of an odd drive: $(cat odd.json)"
[ "$(jq -r '"\(.result) \(.exit) \(.firmware)"' dry.json)" = "update would start 0 1.0r CDRW8432.BIN" ] ||
    fail "update --json: a dry run"

# The transcript: the commands of the journal, line for line, each with its answer; cut short
# by Ctrl-C it still holds every command before the cut. -v writes the same lines to stderr.
commands_of() { grep -v -e '^#' -e 'media change notification' "$1" | sed 's/^ *[0-9.]*  //; s/;.*//'; }
rm -f Drive*.LOG
q --transcript run.tx -v --yes --allow-older update Drive1 CDRW8432.BIN >/dev/null 2>verbose.txt ||
    fail "transcribed update failed"
diff <(sed 's/^[0-9]* //' Drive1.LOG) <(commands_of run.tx) >/dev/null || fail "transcript: not the journal"
grep -q '^# quillet .*(commit ' run.tx || fail "transcript: the program in its header"
grep -q '12 00 00 00 FF 00 in 1024 GOOD; "KORVIN  CDRW-8432       1.1a"' run.tx ||
    fail "transcript: the INQUIRY answer"
grep -q 'CHECK 02/3A/01; sense 70 00 02 .*: NOT READY (sense key 2h), medium not present' run.tx ||
    fail "transcript: sense in words"
grep -q '^  *33\.250  media change notification on$' run.tx || fail "transcript: time since start"
diff <(commands_of run.tx) <(commands_of verbose.txt) >/dev/null || fail "-v: not the transcript"

# Ctrl-C at each stage (the simulated drive raises SIGINT as it completes the command named):
# before the first block it ends at once, during the blocks after the one in flight and without
# the closing command, during the programming wait only when pressed twice. Each ends with
# where the drive stands and its own exit code.
interrupted() {  # command times[-signal] expected-exit write-buffers expected-line
    local rc=0 tag=int$1-${2// /-}
    rm -f Drive*.LOG Drive*.IMG
    sed "s/^\[Drive1\]$/[Drive1]\nInterrupt=$1 $2/" WNASPI32.CFG >INT.CFG
    "$quillet" --simulate INT.CFG --transcript "$tag.tx" --yes --allow-older update Drive1 \
        CDRW8432.BIN </dev/null >"$tag.txt" 2>&1 || rc=$?
    [ "$rc" = "$3" ] || fail "interrupt at $1 ($2): exit $rc, expected $3"
    [ "$(grep -c ' 3B 05 ' Drive1.LOG)" = "$4" ] || fail "interrupt at $1 ($2): WRITE BUFFER count"
    grep -qF "$5" "$tag.txt" || fail "interrupt at $1 ($2): expected \"$5\""
    diff <(sed 's/^[0-9]* //' Drive1.LOG) <(commands_of "$tag.tx") >/dev/null ||
        fail "interrupt at $1 ($2): the transcript lost commands"
}
interrupted 5 1 1 0 "The drive was not updated. Nothing was written to it."
interrupted 15 1 3 2 "Interrupted: stopped after block 2 of 5; no closing command was sent."
"$quillet" --simulate INT.CFG --json --yes --allow-older update Drive1 CDRW8432.BIN </dev/null \
    >int.json 2>/dev/null || true
[ "$(jq -r '"\(.result) \(.exit) \(.blocks_taken) \(.closed)"' int.json)" = "incomplete download 3 2 false" ] ||
    fail "update --json: an interrupted download"
grep -qF "it holds an incomplete download that it has not saved, and still runs its old firmware" \
    int15-1.txt || fail "interrupt during the blocks: where the drive stands"
interrupted 19 1 0 6 "The drive is programming its memory and must not be powered down: 33.2 s left."
grep -qF "The firmware has installed successfully." int19-1.txt || fail "one Ctrl-C in the wait"
interrupted 19 2 4 6 "do not power it down or reset it for another 33.2 s."
# The other signals that ask the program to end are obeyed the same way: Ctrl-\ would otherwise
# end it mid-download with the media polling off.
interrupted 15 "1 QUIT" 3 2 "Interrupted: stopped after block 2 of 5; no closing command was sent."
interrupted 15 "1 TERM" 3 2 "Interrupted: stopped after block 2 of 5; no closing command was sent."

# Ctrl-Z during the blocks (SIGTSTP as the drive completes the second one) neither stops nor
# interrupts the download: the program stops only once the update is over, and, continued, ends
# with the drive holding the whole image. It runs as a job of its own, in a process group whose
# stop the kernel does not discard as it does an orphaned group's.
suspended() {
    local pid state rc=0 why="Ctrl-Z during the blocks"
    rm -f Drive*.LOG Drive*.IMG
    sed "s/^\[Drive1\]$/[Drive1]\nInterrupt=15 1 TSTP/" WNASPI32.CFG >TSTP.CFG
    set -m
    "$quillet" --simulate TSTP.CFG --transcript tstp.tx --yes --allow-older update Drive1 \
        CDRW8432.BIN </dev/null >tstp.txt 2>&1 &
    pid=$!
    set +m
    # Until it stops or ends, for 20 s at most: a program that does neither fails, not hangs.
    for _ in $(seq 400); do
        state=$(cut -d' ' -f3 "/proc/$pid/stat" 2>/dev/null) || state=gone
        [[ $state == [TZ] || $state == gone ]] && break
        sleep 0.05
    done
    case $state in
        T)
            grep -qF "The firmware has installed successfully." tstp.txt ||
                fail "$why stopped the program before the update was over, after: $(tail -n 1 tstp.tx)"
            kill -CONT "$pid"
            ;;
        Z | gone) fail "$why: the program never stopped" ;;
        *)
            fail "$why: neither stopped nor ended in 20 s (state $state)"
            kill -KILL "$pid"
            ;;
    esac
    wait "$pid" || rc=$?
    [ "$rc" = 0 ] || fail "$why: exit $rc"
    diff <(expected_journal 2 0x340000 70000) <(tail -n +2 Drive1.LOG) >/dev/null ||
        fail "$why: not the whole download and its closing command"
    cmp -s <(expected_image CDRW8432.BIN 0 70000) Drive1.IMG || fail "$why: received image"
}
suspended

if ((failures > 0)); then
    cat ./*.txt >&2
    exit 1
fi
echo "ok: list, refusals, firmware choice, dry runs, whole, stopped, interrupted and suspended updates over the simulated drives"
