#!/usr/bin/env bash
# The kit both QEMU test guests are made of: Debian's own amd64 kernel and a static busybox from
# Debian's packages, an initramfs around a guest's own script, and one way to boot them.
#
#   kit.sh cache                      prints the download cache folder
#   kit.sh fetch                      fills the cache; prints the kernel's release
#   kit.sh modules NAME...            prints the modules NAME need, in an order insmod loads them
#   kit.sh initramfs [-m NAME]... [-a SRC:DEST]... SCRIPT OUT
#                                     writes OUT, a gzipped cpio: busybox and its applet links,
#                                     the modules NAME need, SRC (a file or a folder) at DEST, and
#                                     the kit's init, which mounts /proc, /sys and /dev, loads the
#                                     modules and then runs SCRIPT (as /harness)
#   kit.sh accel                      prints kvm or tcg: how this machine boots the guests
#   kit.sh boot ACCEL SECONDS INITRAMFS KERNEL_ARGS [QEMU_ARG...]
#                                     runs qemu-system-x86_64 under ACCEL on the kernel and
#                                     INITRAMFS with the command line "console=ttyS0 quiet panic=-1
#                                     KERNEL_ARGS" and the caller's devices; ends it after SECONDS
#                                     with exit code 124
#
# The cache is QUILLET_GUEST_CACHE, by default build/guest-cache in this repository; every guest
# shares it and a second run downloads nothing. Downloads need apt-get with current package lists
# and dpkg-deb, not root. QUILLET_GUEST_ACCEL=tcg forces emulation where KVM works.
set -euo pipefail

kit=$(cd "$(dirname "$0")" && pwd)
cache=$(realpath -m "${QUILLET_GUEST_CACHE:-$kit/../../build/guest-cache}")
kernel=$cache/kernel

die() {
    echo "guest-kit: $*" >&2
    exit 1
}

# Folders of work in progress, gone however the command ends.
scratch=()
trap 'rm -rf "${scratch[@]}"' EXIT
new_scratch() {  # sets $scratch_dir to a new folder in the cache
    scratch_dir=$(mktemp -d "$cache/scratch.XXXXXX")
    scratch+=("$scratch_dir")
}

# One kit command at a time per cache: the guests' tests run in parallel and share it.
lock_cache() {
    mkdir -p "$cache"
    exec 9>"$cache/lock"
    flock 9
}

# Sets $deb to the downloaded file of a package, downloading it first if need be.
package_file() {  # package
    mkdir -p "$cache/debs"
    deb=$(find "$cache/debs" -maxdepth 1 -name "${1}_*.deb" | head -n 1)
    [ -z "$deb" ] || return 0
    new_scratch
    # apt's download user may enter the folder; where it cannot, apt warns and goes on as root.
    chmod 755 "$scratch_dir"
    echo "guest-kit: downloading $1" >&2
    if ! (cd "$scratch_dir" && apt-get download -q "$1") >"$scratch_dir/log" 2>&1; then
        cat "$scratch_dir/log" >&2
        die "cannot download $1"
    fi
    mv "$scratch_dir"/*.deb "$cache/debs/"
    deb=$(find "$cache/debs" -maxdepth 1 -name "${1}_*.deb" | head -n 1)
}

# Sets $release. kernel/ holds the kernel of the release linux-image-amd64 depends on now, its
# index (a line a module: its name, its path in the package and the modules it needs, or
# "builtin") and in modules/ those of its modules a guest asked for. The package is kept for
# modules asked for later.
fetch() {
    local package tree modules suffix="" line name depends
    package=$({ apt-cache depends linux-image-amd64 2>/dev/null || true; } |
        sed -n 's/^ *Depends: \(linux-image-[0-9][^ ]*\)$/\1/p' | head -n 1)
    release=${package#linux-image-}
    if [ -z "$package" ]; then
        # Without package lists a complete cache still serves.
        [ -s "$kernel/index" ] || die "apt knows no linux-image-amd64 (run apt-get update)"
        release=$(cat "$kernel/release")
    fi
    if [ ! -s "$kernel/index" ] || [ "$(cat "$kernel/release" 2>/dev/null)" != "$release" ]; then
        package_file "$package"
        # The packages of older releases go.
        find "$cache/debs" -maxdepth 1 -name 'linux-image-*.deb' ! -name "${package}_*" -delete
        new_scratch
        tree=$scratch_dir
        dpkg-deb --fsys-tarfile "$deb" |
            tar -x -C "$tree" --wildcards "./boot/vmlinuz-$release" "./lib/modules/$release/*"
        modules=$tree/lib/modules/$release
        [ -d "$modules/kernel" ] || die "$package holds no modules for $release"
        if [ -n "$(find "$modules/kernel" -name '*.ko.xz' -print -quit)" ]; then
            suffix=.xz
            find "$modules/kernel" -name '*.ko.xz' -exec xz -d {} +
        fi
        mkdir -p "$tree/new"
        # A module's .modinfo strings stand between NUL bytes; "depends=" names what it needs.
        {
            (cd "$modules" && grep -r -a -z -H '^depends=' --include='*.ko' kernel) |
                tr '\0' '\n' | while IFS= read -r line; do
                    name=${line%%.ko:*}
                    name=${name##*/}
                    depends=${line#*:depends=}
                    echo "${name//-/_} ${line%%:*}$suffix ${depends:--}"
                done
            sed -n 's|.*/\([^/]*\)\.ko$|\1|p' "$modules/modules.builtin" |
                while IFS= read -r name; do echo "${name//-/_} builtin -"; done
        } >"$tree/new/index"
        mv "$tree/boot/vmlinuz-$release" "$tree/new/vmlinuz"
        echo "$release" >"$tree/new/release"
        rm -rf "$kernel"
        mv "$tree/new" "$kernel"
    fi
    if [ ! -x "$cache/busybox" ]; then
        package_file busybox-static
        dpkg-deb --fsys-tarfile "$deb" | tar -x -O ./bin/busybox >"$cache/busybox.part"
        chmod 755 "$cache/busybox.part"
        mv "$cache/busybox.part" "$cache/busybox"
    fi
}

# Sets $order to the modules the names need, depth first, so that every module comes after the
# ones it needs; those built into the kernel are left out. Modules not in the cache yet are taken
# from the kept package in one pass.
resolve() {  # name...
    local -A path needs seen
    local -a missing=()
    local name file deps
    order=()
    fetch
    while read -r name file deps; do
        path[$name]=$file needs[$name]=$deps
    done <"$kernel/index"
    visit() {
        local name=${1//-/_} dep
        [ -z "${seen[$name]:-}" ] || return 0
        seen[$name]=1
        [ -n "${path[$name]:-}" ] || die "$release has no module $1"
        [ "${path[$name]}" != builtin ] || return 0
        if [ "${needs[$name]}" != - ]; then
            for dep in ${needs[$name]//,/ }; do
                visit "$dep"
            done
        fi
        order+=("$name")
    }
    for name in "$@"; do
        visit "$name"
    done
    for name in "${order[@]}"; do
        [ -s "$kernel/modules/$name.ko" ] || missing+=("./lib/modules/$release/${path[$name]}")
    done
    [ ${#missing[@]} -gt 0 ] || return 0
    package_file "linux-image-$release"
    new_scratch
    dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$scratch_dir" "${missing[@]}"
    mkdir -p "$kernel/modules"
    for file in "${missing[@]}"; do
        name=${file##*/}
        name=${name%%.ko*}
        xz -dcf "$scratch_dir/$file" >"$kernel/modules/${name//-/_}.ko.part"
        mv "$kernel/modules/${name//-/_}.ko.part" "$kernel/modules/${name//-/_}.ko"
    done
}

initramfs() {  # [-m name]... [-a src:dest]... script out
    local usage="usage: kit.sh initramfs [-m NAME]... [-a SRC:DEST]... SCRIPT OUT"
    local -a wanted=() added=()
    local option root applet item src dest
    while getopts m:a: option; do
        case $option in
            m) wanted+=("$OPTARG") ;;
            a) added+=("$OPTARG") ;;
            *) die "$usage" ;;
        esac
    done
    shift $((OPTIND - 1))
    [ $# -eq 2 ] || die "$usage"
    resolve "${wanted[@]}"
    new_scratch
    root=$scratch_dir
    chmod 755 "$root"
    mkdir -p "$root"/{bin,proc,sys,dev,tmp,modules}
    for item in "${order[@]}"; do
        cp "$kernel/modules/$item.ko" "$root/modules/"
        echo "$item.ko"
    done >"$root/modules/order"
    cp "$cache/busybox" "$root/bin/busybox"
    for applet in $("$root/bin/busybox" --list-full); do
        [ "$applet" != bin/busybox ] || continue
        mkdir -p "$root/$(dirname "$applet")"
        ln -s /bin/busybox "$root/$applet"
    done
    for item in "${added[@]}"; do
        src=${item%%:*} dest=${item#*:}
        if [ "$src" = "$item" ] || [ ! -e "$src" ]; then
            die "not SRC:DEST with an existing SRC: $item"
        fi
        mkdir -p "$root$(dirname "$dest")"
        if [ -d "$src" ]; then
            mkdir -p "$root$dest"
            cp -a "$src/." "$root$dest"
        else
            cp "$src" "$root$dest"
        fi
    done
    install -m 755 "$kit/init" "$root/init"
    install -m 755 "$1" "$root/harness"
    (cd "$root" && find . | "$root/bin/busybox" cpio -o -H newc 2>/dev/null) | gzip -1 >"$2.part"
    mv "$2.part" "$2"
}

# Sets $accel. KVM where it works: a nested one can fail to start or hang, so the kernel must
# boot to its panic (no root file system) within a few seconds first. The answer holds until the
# host restarts. Emulation is the fallback.
probe() {
    local key
    fetch
    accel=tcg
    if [ "${QUILLET_GUEST_ACCEL:-}" = tcg ] || [ ! -r /dev/kvm ] || [ ! -w /dev/kvm ]; then
        return 0
    fi
    key="$(cat /proc/sys/kernel/random/boot_id) $release"
    accel=$(sed -n "s/^$key //p" "$cache/accel" 2>/dev/null || true)
    [ -z "$accel" ] || return 0
    accel=tcg
    if timeout -k 5 10 qemu-system-x86_64 -accel kvm -cpu host,-arch-capabilities -m 256 \
        -nodefaults -no-reboot -display none -serial none -kernel "$kernel/vmlinuz" \
        -append panic=-1 </dev/null >/dev/null 2>&1; then
        accel=kvm
    fi
    echo "$key $accel" >"$cache/accel"
}

boot() {  # accel seconds initramfs kernel-args [qemu-arg...]
    [ $# -ge 4 ] || die "usage: kit.sh boot ACCEL SECONDS INITRAMFS KERNEL_ARGS [QEMU_ARG...]"
    local accel=$1 limit=$2 initrd=$3 args=$4
    shift 4
    [ -s "$kernel/vmlinuz" ] || die "no kernel in $cache (kit.sh fetch)"
    # Emulation's CPU has no SMAP, whose checks QEMU's emulation applies wrongly to a return to
    # 32-bit code.
    case $accel in
        kvm) set -- -accel kvm -cpu "host,-arch-capabilities" "$@" ;;
        tcg) set -- -accel tcg -cpu "max,smap=off" "$@" ;;
        *) die "no accelerator $accel" ;;
    esac
    exec timeout --foreground -k 10 "$limit" qemu-system-x86_64 "$@" -nodefaults -no-reboot \
        -display none -kernel "$kernel/vmlinuz" -initrd "$initrd" \
        -append "console=ttyS0 quiet panic=-1${args:+ $args}"
}

command=${1:-}
shift || true
# Statements apart, not joined by &&, so that errexit holds inside the functions.
case $command in
    cache) echo "$cache" ;;
    fetch) lock_cache; fetch; echo "$release" ;;
    modules) lock_cache; resolve "$@"; [ ${#order[@]} -eq 0 ] || printf '%s.ko\n' "${order[@]}" ;;
    initramfs) lock_cache; initramfs "$@" ;;
    accel) lock_cache; probe; echo "$accel" ;;
    boot) boot "$@" ;;
    *) die "usage: kit.sh cache|fetch|modules|initramfs|accel|boot ..." ;;
esac
