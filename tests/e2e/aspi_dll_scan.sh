#!/usr/bin/env bash
# The simulated WNASPI32.DLL beside a program is loaded through the real Windows loader and
# scanned by the ASPI transport (aspiscan): adapters in order without the adapter's own id, the
# maker's drives only, an INQUIRY that never finishes aborted after its 10 s wait, the journal
# files the DLL writes, a download written to its image file, and the load and set-up failures
# with their messages.
# Besides the usual two programs it needs QUILLET_ASPISCAN and QUILLET_WNASPI32 (set by CTest).
# shellcheck source=SCRIPTDIR/lib.sh
source "$(dirname "$0")/lib.sh" "$@"

if [ -z "${QUILLET_ASPISCAN:-}" ] || [ -z "${QUILLET_WNASPI32:-}" ]; then
    fail "QUILLET_ASPISCAN and QUILLET_WNASPI32 must name aspiscan.exe and WNASPI32.DLL"
fi
cp "$QUILLET_ASPISCAN" "$PROGRAM_DIR/aspiscan.exe"
base_overrides=$WINEDLLOVERRIDES

# Runs aspiscan in the program folder with the given arguments; its lines land in SCAN_OUT, its
# exit code in SCAN_RC.
scan() {
    SCAN_RC=0
    (cd "$PROGRAM_DIR" &&
        wine aspiscan.exe "$@" </dev/null >"$E2E_TMP/scan.out" 2>"$E2E_TMP/scan.err") ||
        SCAN_RC=$?
    SCAN_OUT=$(tr -d '\r' <"$E2E_TMP/scan.out")
}

# Without any ASPI library (Wine's own switched off) the load fails with its message.
export WINEDLLOVERRIDES="$base_overrides;wnaspi32="
scan
expect_equal "exit code without a library" 1 "$SCAN_RC"
expect_equal "output without a library" $'message ASPI load error !\nadapters -1' "$SCAN_OUT"
e2e_log "no library: load error"

# From here on the DLL beside the program, never Wine's own.
export WINEDLLOVERRIDES="$base_overrides;wnaspi32=n"
cp "$QUILLET_WNASPI32" "$PROGRAM_DIR/WNASPI32.DLL"

printf '[ASPI]\nAdapters=1\nSupportStatus=0x04\n' >"$PROGRAM_DIR/WNASPI32.CFG"
scan
expect_equal "exit code with a failing support word" 1 "$SCAN_RC"
expect_equal "output with a failing support word" $'message ASPI set up error !\nadapters -1' \
    "$SCAN_OUT"
e2e_log "failing support word: set-up error"

cat >"$PROGRAM_DIR/WNASPI32.CFG" <<'EOF'
; two adapters; the maker's drives at 0:2:0 and 1:1:3
[ASPI]
Adapters=2
Drives=5

[Adapter0]
ScsiId=7

[Adapter1]
ScsiId=0

[Drive0]
Adapter=0
Target=2
Product=CDRW-8432
Revision=1.0q
Tag=MTX5160E

; another vendor: not listed
[Drive1]
Adapter=0
Target=5
Vendor=OTHERCO

; its INQUIRY never finishes: aborted, not listed
[Drive2]
Adapter=0
Target=3
Fault1=never 0 12

; at the adapter's own id: never asked
[Drive3]
Adapter=0
Target=7

[Drive4]
Adapter=1
Target=1
Lun=3
Product=CDRW-1216
Revision=2.0a
Tag=MTX1216A
ProductCode=0x123456
Disc=1
EOF
begin=${EPOCHREALTIME/./}
scan
took=$(( (${EPOCHREALTIME/./} - begin) / 1000 ))
expect_equal "exit code of the scan" 0 "$SCAN_RC"
expect_equal "scan output" "adapters 2
drive 0:2:0 [KORVIN  ] [CDRW-8432       ] [1.0q] tag=MTX5160E ready=-1
drive 1:1:3 [KORVIN  ] [CDRW-1216       ] [2.0a] tag=MTX1216A ready=0" "$SCAN_OUT"
(( took >= 10000 )) || fail "the never-finishing INQUIRY was not waited for 10 s (took $took ms)"
e2e_log "scan listed two drives in $took ms"

expect_equal "journal of 0:2:0" "1 12 00 00 00 80 00 in 128 GOOD
2 3C 02 00 00 80 04 00 00 08 00 in 128 GOOD
3 00 00 00 00 00 00 none 0 CHECK 02/3A/01" "$(cat "$PROGRAM_DIR/Drive0.LOG")"
expect_equal "journal of the other vendor" "1 12 00 00 00 80 00 in 128 GOOD" \
    "$(cat "$PROGRAM_DIR/Drive1.LOG")"
expect_equal "journal of the silent drive" "1 12 00 00 00 80 00 in 128 NEVER" \
    "$(cat "$PROGRAM_DIR/Drive2.LOG")"
[ ! -e "$PROGRAM_DIR/Drive3.LOG" ] || fail "the drive at the adapter's own id was asked"
expect_equal "journal of 1:1:3" "1 12 00 00 00 80 00 in 128 GOOD
2 3C 02 00 00 80 04 00 00 08 00 in 128 GOOD
3 00 00 00 00 00 00 none 0 GOOD" "$(cat "$PROGRAM_DIR/Drive4.LOG")"

# A download of 40000 bytes to 1:1:3 (index 1): two full blocks, a short one, the closing command.
scan download 1 123456 40000
expect_equal "exit code of the download" 0 "$SCAN_RC"
expect_equal "last line of the download" "download ok" "${SCAN_OUT##*$'\n'}"
expect_equal "journal of the download" "4 3B 05 00 12 34 56 00 40 00 00 out 16384 GOOD
5 3B 05 00 12 74 56 00 40 00 00 out 16384 GOOD
6 3B 05 00 12 B4 56 00 1C 40 00 out 7232 GOOD
7 3B 05 00 12 D0 96 00 00 00 00 none 0 GOOD" "$(tail -n 4 "$PROGRAM_DIR/Drive4.LOG")"
image=$PROGRAM_DIR/Drive4.IMG
expect_equal "size of the received image" 40000 "$(stat -c %s "$image")"
for at in 0 250 251 16384 39999; do
    expect_equal "image byte $at" $((at % 251)) "$(od -An -tu1 -j "$at" -N 1 "$image" | tr -d ' ')"
done
[ ! -e "$PROGRAM_DIR/Drive0.IMG" ] || fail "a drive that took no download has an image"
e2e_log "download written to Drive4.IMG"

cp "$PROGRAM_DIR"/*.LOG "$ARTEFACTS/"
e2e_log "passed"
