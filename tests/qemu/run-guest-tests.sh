#!/usr/bin/env bash
# quillet against a real SCSI target: Debian's kernel under QEMU, its sg and sr drivers in front
# of QEMU's SCSI CD emulation behind virtio-scsi. The statically linked quillet and the demo
# catalogue go into a busybox initramfs; the guest (guest-init) runs the commands and reports on
# the serial console; QEMU's trace of parsed SCSI requests and its monitor show what reached the
# drives.
#
# Beside them, quillet-tcmu serves simulated drives to the same kernel through target_core_user
# and the loopback fabric (served.sh): whole downloads through sg, sr and the block layer, with
# the drive's journal, the program's transcript and the kernel's own commands side by side.
#
# usage: run-guest-tests.sh QUILLET_STATIC TCMU_SERVER BUILD_DIR
# Kernel and busybox come from the guest kit's cache (tests/guest-kit), the rest is made in
# BUILD_DIR/qemu-guest. Exit 77 (skipped) when QEMU is not installed or the kernel cannot be had.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
kit=$root/tests/guest-kit/kit.sh
usage="usage: run-guest-tests.sh QUILLET_STATIC TCMU_SERVER BUILD_DIR"
quillet=$(realpath "${1:?$usage}")
server=$(realpath "${2:?$usage}")
build=$(realpath "${3:?$usage}")
start=$SECONDS

command -v qemu-system-x86_64 >/dev/null || { echo "SKIPPED: no qemu-system-x86_64" >&2; exit 77; }
peer=$(command -v sg_write_buffer) || { echo "SKIPPED: no sg_write_buffer (sg3-utils)" >&2; exit 77; }
"$kit" fetch >/dev/null || { echo "SKIPPED: no kernel" >&2; exit 77; }

guest=$build/qemu-guest
rm -rf "$guest"
mkdir -p "$guest/catalogue"
"$root/scripts/demo/make-folder.sh" "$guest/catalogue" >/dev/null
rm "$guest/catalogue/WNASPI32.CFG"
# The served drives: their configuration, the images they must receive (the file's section,
# padded with zeros to 2048 bytes), and a catalogue whose CDRW-8432 image is 4 MiB for timing.
mkdir -p "$guest/served" "$guest/expected" "$guest/catalogue-big"
cp "$here/served.cfg" "$guest/served/WNASPI32.CFG"
padded() {  # file count
    { head -c "$2" "$1"; head -c $(((2048 - $2 % 2048) % 2048)) /dev/zero; }
}
padded "$guest/catalogue/CDRW8432.BIN" "$(stat -c %s "$guest/catalogue/CDRW8432.BIN")" \
    >"$guest/expected/CDRW8432.IMG"
padded "$guest/catalogue/MTX5160.BIN" 40000 >"$guest/expected/MTX5160E.IMG"
cp "$guest/catalogue/tarvex.ini" "$guest/catalogue-big/"
head -c 4194304 < <(yes 'CDRW-8432 image of four megabytes for timing ') >"$guest/catalogue-big/CDRW8432.BIN"
# The peer with the libraries it loads, at their own paths.
libraries=()
for library in $(ldd "$peer" | awk '/=> \// { print $3 } /^\t\/[^ ]*ld-linux/ { print $1 }'); do
    libraries+=(-a "$library:$library")
done
"$kit" initramfs -m sr_mod -m sg -m virtio_scsi -m virtio_pci -m ext4 -m crc32c_generic \
    -m target_core_user -m tcm_loop \
    -a "$quillet:/bin/quillet" -a "$server:/bin/quillet-tcmu" -a "$peer:/bin/sg_write_buffer" \
    "${libraries[@]}" -a "$here/served.sh:/served.sh" -a "$guest/served:/served" \
    -a "$guest/expected:/expected" -a "$guest/catalogue-big:/catalogue-big" \
    -a "$guest/catalogue:/catalogue" "$here/guest-init" "$guest/initramfs.gz"
# Any file serves as the disc; the one the guest mounts holds an ext2 file system in the drive's
# 2048-byte blocks.
head -c 1048576 /dev/zero >"$guest/disc.iso"
mke2fs -q -F -t ext2 -b 2048 "$guest/filesystem.iso" 512

serial=$guest/serial.log
trace=$guest/scsi-trace.log
monitor=$guest/monitor.log
: >"$serial"
cd_drive() {  # target product vendor [disc]
    local drive=""
    if [ -n "${4:-}" ]; then
        QEMU_DRIVES+=(-drive "if=none,id=disc$1,file=$4,format=raw,media=cdrom,readonly=on")
        drive=",drive=disc$1"
    fi
    QEMU_DRIVES+=(-device "scsi-cd,bus=scsi0.0,channel=0,scsi-id=$1,lun=0,id=cd$1,vendor=$3,product=$2,ver=1.0q$drive")
}
QEMU_DRIVES=()
cd_drive 1 CDRW-8432 KORVIN
cd_drive 2 MTX5160E KORVIN
cd_drive 3 CDRW-8432 KORVIN "$guest/disc.iso"
cd_drive 4 CDROM-XM OTHERCO
cd_drive 5 CDRW-8432 KORVIN "$guest/filesystem.iso"

# The monitor on two FIFOs (QEMU's pipe character device): commands in, answers out.
mkfifo "$guest/monitor.in" "$guest/monitor.out"
qemu="" reader=""
trap 'kill $qemu $reader 2>/dev/null || true' EXIT
accel=$("$kit" accel)
"$kit" boot "$accel" 600 "$guest/initramfs.gz" "" -m 512 \
    -serial "file:$serial" -chardev "pipe,id=monitor,path=$guest/monitor" -mon monitor \
    -trace "scsi_req_parsed,file=$trace" \
    -device virtio-scsi-pci,id=scsi0 "${QEMU_DRIVES[@]}" >"$guest/qemu.log" 2>&1 &
qemu=$!
cat "$guest/monitor.out" >"$monitor" &
reader=$!

# The kit ends a guest that runs too long.
until grep -q QUILLET-DONE "$serial"; do
    if ! kill -0 "$qemu" 2>/dev/null; then
        echo "FAIL: the guest did not finish; QEMU and the serial console said:" >&2
        cat "$guest/qemu.log" "$serial" >&2
        exit 1
    fi
    sleep 0.2
done
{
    echo "info block"
    sleep 1
    echo "quit"
} >"$guest/monitor.in"
wait "$qemu" || true
kill "$reader" 2>/dev/null || true

failures=0
check() {  # description command...
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what"
    else
        echo "FAIL: $what" >&2
        failures=$((failures + 1))
    fi
}
section() {  # name: the serial output of one run, CR removed
    tr -d '\r' <"$serial" | sed -n "/^QUILLET-BEGIN $1\$/,/^QUILLET-END $1 /p"
}
has() { section "$1" | grep -qF -- "$2"; }
lacks() { ! section "$1" | grep -qF -- "$2"; }
exit_code() { section "$1" | sed -n "s/^QUILLET-END $1 rc=//p"; }
# Parsed SCSI requests by target and operation code (decimal in the trace).
requests() { grep -c "scsi_req_parsed target $1 lun 0 tag -\?[0-9]* command $2 " "$trace" || true; }
# The monitor's word on the tray of the drive with the disc.
tray_open() { grep -A3 "^disc3 " "$monitor" | grep -q "tray open"; }

check "list shows the KORVIN drive with its revision" has list "KORVIN   CDRW-8432        1.0q"
check "list shows the tagged drive" has list "KORVIN   MTX5160E         1.0q"
check "list offers the catalogue's firmware" has list "offered: 1.0r CDRW8432.BIN"
check "list leaves out the other vendor's drive" lacks list "OTHERCO"
check "list exits 0" [ "$(exit_code list)" = 0 ]

# The JSON document between the markers, read with jq.
json() { section json | sed '1d;$d' | jq -r "$1"; }
check "list --json parses and names the drive with its revision" \
    [ "$(json '[.drives[] | select(.product == "CDRW-8432") | .revision] | unique | join(" ")')" = 1.0q ]
check "list --json: the catalogue's entry is present" \
    [ "$(json '.drives[] | select(.product == "CDRW-8432") | .newest_available.file' | sort -u)" = CDRW8432.BIN ]

check "dry run: the plan" has dry "then the closing command at"
check "dry run: the disc test passes" has dry "The drive holds no disc: the update would start."
check "dry run: exits 0" [ "$(exit_code dry)" = 0 ]
check "dry run: media polling left alone" grep -q "QUILLET-POLLING-DRY 2000" "$serial"
check "dry run: no START STOP UNIT (nor from the update after it)" [ "$(requests 1 27)" = 0 ]

check "untagged: the rejected WRITE BUFFER in words" has untagged \
    "The drive rejected WRITE BUFFER (status 02h): NOT READY (sense key 2h), medium not present"
check "untagged: firmware write error" has untagged "Error: Firmware write error !"
check "untagged: stopped" has untagged "This operation was stopped!!"
check "untagged: not updated" has untagged "The drive was not updated."
check "untagged: exits non-zero" [ "$(exit_code untagged)" != 0 ]
# The dry run before it sent none.
check "untagged: one WRITE BUFFER reached the drive, nothing after it" [ "$(requests 1 59)" = 1 ]
check "untagged: media polling put back" grep -q "QUILLET-POLLING 2000" "$serial"

check "tagged: firmware file read error" has tagged "Error: Firmware file read error !"
check "tagged: the rejected READ BUFFER in words" has tagged "The drive rejected READ BUFFER"
check "tagged: exits non-zero" [ "$(exit_code tagged)" != 0 ]
check "tagged: READ BUFFER sent" [ "$(requests 2 60)" -ge 1 ]
check "tagged: no WRITE BUFFER" [ "$(requests 2 59)" = 0 ]

check "medium: the disc message" has medium "error: Eject the disc from the drive."
check "medium: not updated" has medium "The drive was not updated."
check "medium: exits non-zero" [ "$(exit_code medium)" != 0 ]
check "medium: no WRITE BUFFER" [ "$(requests 3 59)" = 0 ]
check "medium: the tray stands open" tray_open

check "mounted: the file system was mounted" grep -q QUILLET-MOUNTED "$serial"
check "mounted: refused, naming the mount point" has mounted "is mounted on /mnt/disc: unmount it first"
check "mounted: exits non-zero" [ "$(exit_code mounted)" != 0 ]
check "mounted: no START STOP UNIT" [ "$(requests 5 27)" = 0 ]
check "mounted: no WRITE BUFFER" [ "$(requests 5 59)" = 0 ]
check "mounted: refused before the plan" lacks mounted "Sends:"

# The served drives. Journals, transcripts and timings go to files for journals.py.
out=$guest/out
mkdir -p "$out"
between() {  # kind name: the lines between QUILLET-<kind>-BEGIN name and its END
    tr -d '\r' <"$serial" | sed -n "/^QUILLET-$1-BEGIN $2\$/,/^QUILLET-$1-END $2\$/p" | sed '1d;$d'
}
for name in sg-update sr-update refused cdrom-list polled peer stalled closing unlinked ended; do
    between JOURNAL "$name" >"$out/$name.log"
done
for name in sg-transcript sr-transcript sg-simulated sr-simulated polled-times \
    peer-times server-log; do
    between FILE "$name" >"$out/$name"
done
served_node() { tr -d '\r' <"$serial" | sed -n "s/^QUILLET-SERVED $1 \([^ ]*\) .*/\1/p"; }
served_block() { tr -d '\r' <"$serial" | sed -n "s/^QUILLET-SERVED $1 [^ ]* //p"; }
journals() { "$here/journals.py" "$@" >"$out/check.txt" 2>&1 && cat "$out/check.txt" || { cat "$out/check.txt" >&2; false; }; }
lines() { grep -c . "$out/$1" || true; }
all_kernel() { ! grep -v ' kernel$' "$out/$1" | grep -q .; }

check "served: list names the served CDRW-8432 with its revision" \
    has served-list "$(served_node 0)  KORVIN   CDRW-8432        1.0q"
check "served: list names the served MTX5160E with its revision" \
    has served-list "$(served_node 1)  KORVIN   MTX5160E         1.0q"
check "served: list exits 0" [ "$(exit_code served-list)" = 0 ]

check "sg update as a user: exits 0" [ "$(exit_code sg-update)" = 0 ]
check "sg update: installed" has sg-update "The firmware has installed successfully."
check "sg update: the drive holds the file padded" grep -q "QUILLET-IMAGE sg-update same" "$serial"
check "sg update: the journal against the transcript and --simulate" \
    journals match "$out/sg-update.log" "$out/sg-transcript" "$out/sg-simulated"
check "sr update: exits 0" [ "$(exit_code sr-update)" = 0 ]
check "sr update: the drive holds its section padded" grep -q "QUILLET-IMAGE sr-update same" "$serial"
check "sr update: the journal against the transcript and --simulate" \
    journals match "$out/sr-update.log" "$out/sr-transcript" "$out/sr-simulated"

check "user without the generic node: refused, naming it" \
    has refused-sg "$(served_node 0), the SCSI generic node of /dev/$(served_block 0), cannot be opened for reading and writing"
check "user without the generic node: exits 1" [ "$(exit_code refused-sg)" = 1 ]
check "user without the polling switch: refused, naming it" \
    has refused-polling "/sys/block/$(served_block 0)/events_poll_msecs cannot be written"
check "user without the polling switch: exits 1" [ "$(exit_code refused-polling)" = 1 ]
check "refusals: nothing of the program's reached the drive" all_kernel refused.log
check "cdrom member: list reads the drive through its CD device" \
    has cdrom-list "$(served_node 0)  KORVIN   CDRW-8432        1.0q"
check "cdrom member: list reads the tagged drive through its CD device" \
    has cdrom-list "$(served_node 1)  KORVIN   MTX5160E         1.0q"
check "cdrom member: the tagged drive's INQUIRY went through the CD device" \
    grep -q '^[0-9]* 12 00 00 00 FF 00 in 1024 GOOD$' "$out/cdrom-list.log"
check "cdrom member: list names the generic node it could not open, and why" \
    has cdrom-list "$(served_node 0) cannot be opened for reading and writing (Permission denied): read through /dev/$(served_block 0) instead."

check "polling: exits 0" [ "$(exit_code polled-update)" = 0 ]
check "polling: the kernel polls before and after the download, never during it" \
    journals polling "$out/polled.log"
check "polling: back at 2000 ms" grep -q "QUILLET-POLLING polled 2000" "$serial"
check "polling: the drive holds the 4 MiB image" grep -q "QUILLET-IMAGE polled same" "$serial"
check "peer: sg_write_buffer exits 0" [ "$(exit_code peer)" = 0 ]
# The time a block takes is held to the peer's only where the guest runs at the machine's speed:
# under emulation every instruction of the guest's costs tens of the host's, and quillet's own
# work between blocks (it reads each block from the file as it goes; the peer reads the whole
# image first) weighs as it never does beside a drive, so there the times are only shown.
if [ "$accel" = kvm ]; then
    check "peer: the same blocks, quillet's no slower than 1.2 times the peer's" \
        journals blocks "$out/polled.log" "$out/polled-times" "$out/peer.log" "$out/peer-times" 1.2
else
    check "peer: the same blocks (times under emulation only shown)" \
        journals blocks "$out/polled.log" "$out/polled-times" "$out/peer.log" "$out/peer-times" none
fi

# Each fault: where the drive stands, the exit status that says it, polling put back.
check "stalled block: the kernel ended it (logical unit communication failure)" \
    has stalled "logical unit communication failure"
check "stalled block: the drive still runs its old firmware" has stalled "and still runs its old firmware"
check "stalled block: exits 3" [ "$(exit_code stalled)" = 3 ]
check "stalled block: polling put back" grep -q "QUILLET-POLLING stalled 2000" "$serial"
check "stalled closing command: the kernel ended it" has closing "logical unit communication failure"
check "stalled closing command: the drive may be saving, said" \
    has closing "but the answer to the closing command, which makes it save them, never came"
check "stalled closing command: no claim of the old firmware" lacks closing "old firmware"
check "stalled closing command: exits 6" [ "$(exit_code closing)" = 6 ]
check "stalled closing command: polling put back" grep -q "QUILLET-POLLING closing 2000" "$serial"
check "unlinked LUN: the node went away" grep -q "QUILLET-GONE unlinked yes" "$serial"
check "unlinked LUN: the drive is gone, said" has unlinked "is gone"
check "unlinked LUN: exits 3" [ "$(exit_code unlinked)" = 3 ]
check "ended server: exits 3" [ "$(exit_code ended)" = 3 ]
check "ended server: polling put back" grep -q "QUILLET-POLLING ended 2000" "$serial"
check "after the faults: list still works" [ "$(exit_code served-list-after)" = 0 ]
check "after the faults: the drive of the ended server is back" \
    has served-list-after "$(served_node 4)  KORVIN   CDRW-8432        1.0q"

uptime=$(tr -d '\r' <"$serial" | sed -n 's/^QUILLET-UPTIME //p')
echo "guest: drives ready ${uptime:-?} s after boot; whole QEMU test $((SECONDS - start)) s ($accel)"
if ((failures > 0)); then
    echo "serial console:" >&2
    cat "$serial" >&2
    exit 1
fi
