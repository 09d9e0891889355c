#!/usr/bin/env bash
# quillet against a real SCSI target: Debian's kernel under QEMU, its sg and sr drivers in front
# of QEMU's SCSI CD emulation behind virtio-scsi. The statically linked quillet and the demo
# catalogue go into a busybox initramfs; the guest (guest-init) runs the commands and reports on
# the serial console; QEMU's trace of parsed SCSI requests and its monitor show what reached the
# drives.
#
# usage: run-guest-tests.sh QUILLET_STATIC BUILD_DIR
# Kernel and busybox come from the guest kit's cache (tests/guest-kit), the rest is made in
# BUILD_DIR/qemu-guest. Exit 77 (skipped) when QEMU is not installed or the kernel cannot be had.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
kit=$root/tests/guest-kit/kit.sh
quillet=$(realpath "${1:?usage: run-guest-tests.sh QUILLET_STATIC BUILD_DIR}")
build=$(realpath "${2:?usage: run-guest-tests.sh QUILLET_STATIC BUILD_DIR}")
start=$SECONDS

command -v qemu-system-x86_64 >/dev/null || { echo "SKIPPED: no qemu-system-x86_64" >&2; exit 77; }
"$kit" fetch >/dev/null || { echo "SKIPPED: no kernel" >&2; exit 77; }

guest=$build/qemu-guest
rm -rf "$guest"
mkdir -p "$guest/catalogue"
"$root/scripts/demo/make-folder.sh" "$guest/catalogue" >/dev/null
rm "$guest/catalogue/WNASPI32.CFG"
"$kit" initramfs -m sr_mod -m sg -m virtio_scsi -m virtio_pci -m ext4 -m crc32c_generic \
    -a "$quillet:/bin/quillet" \
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
"$kit" boot "$accel" 300 "$guest/initramfs.gz" "" -m 512 \
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

uptime=$(tr -d '\r' <"$serial" | sed -n 's/^QUILLET-UPTIME //p')
echo "guest: drives ready ${uptime:-?} s after boot; whole QEMU test $((SECONDS - start)) s ($accel)"
if ((failures > 0)); then
    echo "serial console:" >&2
    cat "$serial" >&2
    exit 1
fi
