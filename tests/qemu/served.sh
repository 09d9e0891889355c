# The guest's served drives (sourced by guest-init): quillet-tcmu serves the drives of
# /served/WNASPI32.CFG through target_core_user, each exported by the loopback fabric as LUN 0 of
# a target of its own, so that the kernel attaches sr and sg to it. The cases run quillet against
# them and print journals, transcripts and the kernel's settings between markers for the host.
# Drives: 0 and 1 whole updates (sg as a user, sr as root), 2 polling and timing, 7 its twin for
# the peer, 3 to 6 faults.

config=/sys/kernel/config/target
served=/served
server_log=$served/server.log
mount -t configfs none /sys/kernel/config 2>/dev/null

backstore() {  # n cmd_time_out
    b=$config/core/user_0/drive$1
    mkdir -p "$b"
    echo "dev_config=quillet/Drive$1,dev_size=0,hw_block_size=2048" >"$b/control"
    echo "$2" >"$b/attrib/cmd_time_out"
    echo 1 >"$b/enable"
}
target() {  # n: the drive's loopback target
    echo "$config/loopback/naa.500140500000000$1/tpgt_1"
}
export_drive() {  # n
    t=$(target "$1")
    mkdir -p "$t/lun/lun_0"
    echo "naa.500140510000000$1" >"$t/nexus"
    ln -s "$config/core/user_0/drive$1" "$t/lun/lun_0/drive$1"
}
start_server() {
    (cd $served && exec quillet-tcmu $served/WNASPI32.CFG >>$server_log 2>&1) &
    server=$!
    tries=0
    until [ "$(grep -c serving $server_log)" -ge "$1" ] || [ $tries -ge 100 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
}
stop_server() {
    kill "$server" 2>/dev/null
    wait "$server" 2>/dev/null
}
# The generic node of served drive $1: the sg whose address is the target's.
served_node() {
    address=$(cat "$(target "$1")/address" 2>/dev/null)
    for d in /sys/class/scsi_generic/sg*; do
        case $(readlink "$d/device") in *"/$address:0") echo "/dev/${d##*/}" ;; esac
    done
}
journal_mark() { wc -l <"$served/Drive$1.LOG"; }
# Journal lines of drive $1 after line $2, between markers.
show_journal() {  # n mark name
    echo "QUILLET-JOURNAL-BEGIN $3"
    tail -n +"$(($2 + 1))" "$served/Drive$1.LOG"
    echo "QUILLET-JOURNAL-END $3"
}
show_file() {  # path name
    echo "QUILLET-FILE-BEGIN $2"
    cat "$1"
    echo "QUILLET-FILE-END $2"
}
polling() { cat "/sys/block/$(block "$1")/events_poll_msecs"; }
as_user() { su -s /bin/sh user -c "cd /catalogue && $*"; }

mkdir -p /etc
chmod 1777 /tmp
printf 'root:x:0:0::/:/bin/sh\nuser:x:1000:1000::/:/bin/sh\n' >/etc/passwd
printf 'root:x:0:\nuser:x:1000:\ncdrom:x:24:user\n' >/etc/group
for n in 0 1 2 7; do backstore $n 30; done
# Short for the faults: the kernel ends a command the drive leaves unanswered this soon.
for n in 3 4 5 6; do backstore $n 5; done
start_server 8
for n in 0 1 2 3 4 5 6 7; do export_drive $n; done
tries=0
while [ -z "$(served_node 7)" ] && [ $tries -lt 100 ]; do
    sleep 0.1
    tries=$((tries + 1))
done
for n in 0 1 2 3 4 5 6 7; do
    eval "sg$n=$(served_node $n)"
    echo "QUILLET-SERVED $n $(served_node $n) $(block "$(served_node $n)")"
done
cd /catalogue || exit 1

# 1. Listing.
run served-list quillet list

# 2, 4, 5. A whole update through the generic node as a user who may read and write it, read the
# CD device and switch its polling; one of the tagged model through the CD device as root.
chown 1000 "$sg0" "/sys/block/$(block "$sg0")/events_poll_msecs"
chmod 600 "$sg0"
chown 1000 "/dev/$(block "$sg0")"
mark=$(journal_mark 0)
run sg-update as_user quillet --transcript /tmp/sg.tx --yes update "$sg0" CDRW8432.BIN
show_journal 0 "$mark" sg-update
show_file /tmp/sg.tx sg-transcript
mark=$(journal_mark 1)
run sr-update quillet --transcript /tmp/sr.tx --yes update "/dev/$(block "$sg1")"
show_journal 1 "$mark" sr-update
show_file /tmp/sr.tx sr-transcript
cmp -s $served/Drive0.IMG /expected/CDRW8432.IMG && echo "QUILLET-IMAGE sg-update same"
cmp -s $served/Drive1.IMG /expected/MTX5160E.IMG && echo "QUILLET-IMAGE sr-update same"
# The same updates under --simulate, for the commands the program sends.
mkdir -p /simulated
cp $served/WNASPI32.CFG /simulated/
run sg-simulated quillet --simulate /simulated/WNASPI32.CFG --yes update Drive0 CDRW8432.BIN
show_file /simulated/Drive0.LOG sg-simulated
run sr-simulated quillet --simulate /simulated/WNASPI32.CFG --yes update Drive1
show_file /simulated/Drive1.LOG sr-simulated

# 5. Refusals before anything reaches the drive: the generic node not open to the user, then the
# polling switch not open to the user.
chown 0 "$sg0"
mark=$(journal_mark 0)
run refused-sg as_user quillet --yes update "/dev/$(block "$sg0")" CDRW8432.BIN
chown 1000 "$sg0"
chown 0 "/sys/block/$(block "$sg0")/events_poll_msecs"
run refused-polling as_user quillet --yes update "$sg0" CDRW8432.BIN
show_journal 0 "$mark" refused

# Listing as a member of the cdrom group, who may read the CD device but not open the generic
# node: the search's commands go through /dev/srN, and the nodes refused are named.
for sg in "$sg0" "$sg1"; do
    chown 0:0 "$sg" "/dev/$(block "$sg")"
    chmod 600 "$sg"
    chgrp 24 "/dev/$(block "$sg")"
    chmod 640 "/dev/$(block "$sg")"
done
mark=$(journal_mark 1)
run cdrom-list as_user quillet list
show_journal 1 "$mark" cdrom-list

# 3, 7. Polling at 2000 ms around a download of 4 MiB, its blocks timed by the drive. The peer
# sends the same image to the twin drive at the same time, so that both meet the same load of
# the machine: it starts as quillet's first block arrives.
echo 2000 >"/sys/block/$(block "$sg2")/events_poll_msecs"
mark=$(journal_mark 2)
peer_mark=$(journal_mark 7)
sleep 5
# As the peer: no transcript, and the output to a file (the serial console would slow each
# block's progress line).
(quillet --catalog /catalogue-big --yes update "$sg2" >/tmp/polled.out 2>&1
    echo $? >/tmp/polled.rc) &
updating=$!
tries=0
until grep -q " 3B 05 " $served/Drive2.LOG || [ $tries -ge 3000 ]; do
    sleep 0.01
    tries=$((tries + 1))
done
run peer sg_write_buffer --mode=5 --offset=0x340000 --bpw=16384 \
    --in=/catalogue-big/CDRW8432.BIN "$sg7"
wait $updating
echo "QUILLET-BEGIN polled-update"
cat /tmp/polled.out
echo "QUILLET-END polled-update rc=$(cat /tmp/polled.rc)"
sleep 5
echo "QUILLET-POLLING polled $(polling "$sg2")"
show_journal 2 "$mark" polled
tail -n +"$((mark + 1))" $served/Drive2.TIM >/tmp/polled.tim
show_file /tmp/polled.tim polled-times
cmp -s $served/Drive2.IMG /catalogue-big/CDRW8432.BIN && echo "QUILLET-IMAGE polled same"
echo 0 >"/sys/block/$(block "$sg2")/events_poll_msecs"
show_journal 7 "$peer_mark" peer
tail -n +"$((peer_mark + 1))" $served/Drive7.TIM >/tmp/peer.tim
show_file /tmp/peer.tim peer-times

# 6. Faults through the real stack, polling at 2000 ms: a WRITE BUFFER that never completes, the
# closing command that never completes, the LUN unlinked mid-download, the server ended
# mid-download.
fault() {  # name n
    echo 2000 >"/sys/block/$(block "$(served_node "$2")")/events_poll_msecs"
    mark=$(journal_mark "$2")
}
fault stalled 3
run stalled quillet --transcript /tmp/stalled.tx --yes update "$sg3" CDRW8432.BIN
echo "QUILLET-POLLING stalled $(polling "$sg3")"
show_journal 3 "$mark" stalled
fault closing 6
run closing quillet --yes update "$sg6" CDRW8432.BIN
echo "QUILLET-POLLING closing $(polling "$sg6")"
show_journal 6 "$mark" closing
fault unlinked 5
(
    tries=0
    until grep -q "^[0-9]* 3B 05 00 34 40 00" $served/Drive5.LOG || [ $tries -ge 300 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    rm "$(target 5)/lun/lun_0/drive5"
) &
run unlinked quillet --yes update "$sg5" CDRW8432.BIN
wait $!
echo "QUILLET-GONE unlinked $([ -e "$sg5" ] && echo no || echo yes)"
show_journal 5 "$mark" unlinked
fault ended 4
run ended quillet --yes update "$sg4" CDRW8432.BIN
echo "QUILLET-POLLING ended $(polling "$sg4")"
wait "$server" 2>/dev/null
show_journal 4 "$mark" ended
# The drive whose server ended is usable again once its ring is reset and the server is back.
echo 2 >"$config/core/user_0/drive4/action/reset_ring"
start_server 16
run served-list-after quillet list
stop_server
show_file $server_log server-log
