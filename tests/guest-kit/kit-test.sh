#!/usr/bin/env bash
# shellcheck disable=SC2015 # the checks read "A && B || fail": either failing is the failure
# Checks the guest kit (kit.sh) without booting a guest: the modules' load order, a second run
# without downloads, what the initramfs holds, and how the accelerator is chosen and the boot
# bounded, the last two against a stand-in for QEMU. The guests' own tests boot the real thing.
#
#   kit-test.sh
#
# Uses the kit's cache (QUILLET_GUEST_CACHE). Exit 77 (skipped) when the kernel cannot be had.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
kit=$here/kit.sh
"$kit" fetch >/dev/null || { echo "SKIPPED: no kernel" >&2; exit 77; }
cache=$("$kit" cache)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# Stand-ins that log each call: apt-get, apt-cache (a machine without package lists) and QEMU,
# which exits at once or, with STAND_IN_QEMU=hang, never.
mkdir -p "$tmp/bin" "$tmp/no-lists"
cat >"$tmp/bin/apt-get" <<EOF
#!/bin/sh
echo "apt-get \$*" >>"$tmp/calls"
exit 1
EOF
cat >"$tmp/bin/qemu-system-x86_64" <<EOF
#!/bin/sh
printf '%s\n' "\$@" >"$tmp/qemu-args"
echo qemu >>"$tmp/calls"
[ "\${STAND_IN_QEMU:-}" != hang ] || exec sleep 60
EOF
printf '#!/bin/sh\necho "E: No packages found" >&2\nexit 100\n' >"$tmp/no-lists/apt-cache"
printf '#!/bin/sh\necho the guest\n' >"$tmp/harness"
chmod +x "$tmp/bin/"* "$tmp/no-lists/apt-cache"
calls() { cat "$tmp/calls" 2>/dev/null; }
stand_ins() { PATH="$tmp/bin:$PATH" "$@"; }

# Load order: each module after every module its own file says it needs, none twice, none
# missing; modules built into the kernel are not files to load.
for wanted in "sr_mod sg virtio_scsi virtio_pci" "9p 9pnet_virtio virtio_pci"; do
    # shellcheck disable=SC2086
    order=$("$kit" modules $wanted) || { fail "no load order for $wanted"; continue; }
    loaded=" "
    for module in $order; do
        name=${module%.ko}
        [[ $loaded != *" $name "* ]] || fail "$name twice in the order for $wanted"
        needs=$(tr '\0' '\n' <"$cache/kernel/modules/$module" | sed -n 's/^depends=//p')
        for dep in ${needs//,/ }; do
            dep=${dep//-/_}
            [[ $loaded == *" $dep "* ]] || grep -q "^$dep builtin " "$cache/kernel/index" ||
                fail "$name comes before $dep, which it needs ($wanted)"
        done
        loaded+="$name "
    done
    for name in $wanted; do
        [[ $loaded == *" $name "* ]] || fail "$name asked for and not in the order: $order"
    done
done
if "$kit" modules sg no_such_module >/dev/null 2>"$tmp/err" ||
    ! grep -q no_such_module "$tmp/err"; then
    fail "an unknown module does not fail by name"
fi

# A filled cache serves without apt-get, and without package lists at all.
stand_ins "$kit" initramfs -m sg -m virtio_pci -a "$kit:/opt/kit.sh" -a "$here:/opt/kit-folder" \
    "$tmp/harness" "$tmp/initramfs.gz" || fail "no initramfs from the filled cache"
PATH="$tmp/no-lists:$tmp/bin:$PATH" "$kit" fetch >/dev/null ||
    fail "the filled cache does not serve without package lists"
[ -z "$(calls)" ] || fail "a second run called $(calls)"
if stand_ins "$kit" initramfs -a /no/such/file:/x "$tmp/harness" "$tmp/x.gz" 2>/dev/null; then
    fail "an initramfs with a missing file"
fi

# The initramfs: busybox's applets, the kit's init, the guest's script and files, the modules in
# the same order as asked of the kit.
mkdir "$tmp/root"
(cd "$tmp/root" && gzip -dc "$tmp/initramfs.gz" | "$cache/busybox" cpio -i -d 2>/dev/null)
root=$tmp/root
cmp -s "$root/init" "$here/init" && [ -x "$root/init" ] || fail "/init is not the kit's"
cmp -s "$root/harness" "$tmp/harness" && [ -x "$root/harness" ] || fail "/harness is not the script"
for applet in bin/sh sbin/insmod sbin/poweroff sbin/switch_root; do
    [ "$(readlink "$root/$applet")" = /bin/busybox ] || fail "no applet link $applet"
done
[ "$("$root/bin/busybox" --help 2>&1 | head -c 7)" = BusyBox ] || fail "no busybox"
[ "$(cat "$root/modules/order")" = "$("$kit" modules sg virtio_pci)" ] ||
    fail "modules/order is not the kit's load order"
while read -r module; do
    [ -s "$root/modules/$module" ] || fail "$module in the order, not in the initramfs"
done <"$root/modules/order"
cmp -s "$root/opt/kit.sh" "$kit" || fail "a file at its place"
cmp -s "$root/opt/kit-folder/init" "$here/init" || fail "a folder at its place"

# The accelerator and the boot, in a cache of this kernel alone so that the probe's answer is
# the stand-in's.
mkdir -p "$tmp/cache/kernel"
cp "$cache/kernel/release" "$cache/kernel/index" "$cache/kernel/vmlinuz" "$tmp/cache/kernel/"
cp "$cache/busybox" "$tmp/cache/"
alone() { QUILLET_GUEST_CACHE=$tmp/cache stand_ins "$kit" "$@"; }
[ "$(QUILLET_GUEST_ACCEL=tcg alone accel)" = tcg ] && [ -z "$(calls)" ] ||
    fail "QUILLET_GUEST_ACCEL=tcg does not force emulation without a probe"
if [ -r /dev/kvm ] && [ -w /dev/kvm ]; then
    # A KVM that hangs is left within the probe's 10 s (and 5 more to kill it), and only once.
    start=$SECONDS
    [ "$(STAND_IN_QEMU=hang alone accel)" = tcg ] || fail "a hanging KVM is chosen"
    ((SECONDS - start <= 16)) || fail "the probe of a hanging KVM took $((SECONDS - start)) s"
    [ "$(STAND_IN_QEMU=hang alone accel)" = tcg ] && [ "$(calls)" = qemu ] ||
        fail "the probe ran again: $(calls | tr '\n' ' ')"
    rm "$tmp/cache/accel" "$tmp/calls"
    [ "$(alone accel)" = kvm ] || fail "a working KVM is not chosen"
    grep -q -- '^-accel$' "$tmp/qemu-args" && grep -qx kvm "$tmp/qemu-args" ||
        fail "the probe does not run KVM"
else
    [ "$(alone accel)" = tcg ] && [ -z "$(calls)" ] || fail "KVM chosen where /dev/kvm is unusable"
fi

# The boot passes the guest's words and devices through whole, and ends a guest that hangs.
alone boot tcg 5 "$tmp/initramfs.gz" "a=1 b=two" -device "x,y=z w" -m 64 ||
    fail "a boot that ends well fails"
printf -v expected '%s\n' -accel tcg -device "x,y=z w" -m 64 -initrd "$tmp/initramfs.gz" \
    -append "console=ttyS0 quiet panic=-1 a=1 b=two"
[ "$(grep -x -A1 -e -accel -e -device -e -m -e -initrd -e -append "$tmp/qemu-args" |
    grep -v -x -- --)" = "${expected%$'\n'}" ] || fail "QEMU got: $(tr '\n' ' ' <"$tmp/qemu-args")"
start=$SECONDS rc=0
STAND_IN_QEMU=hang alone boot tcg 2 "$tmp/initramfs.gz" "" || rc=$?
[ "$rc" = 124 ] && ((SECONDS - start <= 10)) ||
    fail "a hanging guest ended with $rc after $((SECONDS - start)) s"

[ "$failures" = 0 ] || exit 1
echo "the guest kit passed its checks"
