#!/usr/bin/env bash
# Fetches Debian's current amd64 kernel (the release linux-image-amd64 depends on) for a QEMU
# guest, through apt, into a folder of the build tree. Nothing is installed on the machine.
#
#   fetch-kernel.sh DIR [MODULE...]
#
# Leaves in DIR:
#   vmlinuz          the kernel (its CONFIG_IA32_EMULATION runs 32-bit programs)
#   release          the kernel's release, such as 6.1.0-57-amd64
#   modules/*.ko     each MODULE named (such as 9pnet_virtio) and every module it needs; modules
#                    built into the kernel are left out
#   modules/order    those files' names, one a line, in an order insmod can load them
#   debs/            the downloaded package
# Another call for the same release and modules reuses all of it without a download.
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "usage: $0 DIR [MODULE...]" >&2
    exit 2
fi
mkdir -p "$1"
dir=$(realpath "$1")
shift
die() {
    echo "fetch-kernel: $*" >&2
    exit 1
}

package=$(apt-cache depends linux-image-amd64 2>/dev/null |
    sed -n 's/^ *Depends: \(linux-image-[0-9][^ ]*\)$/\1/p' | head -n 1)
[ -n "$package" ] || die "apt knows no linux-image-amd64 (run apt-get update)"
release=${package#linux-image-}
wanted="$release $*"
if [ -f "$dir/vmlinuz" ] && [ "$(cat "$dir/wanted" 2>/dev/null)" = "$wanted" ]; then
    exit 0
fi

mkdir -p "$dir/debs"
deb=$(find "$dir/debs" -name "${package}_*.deb" | head -n 1)
if [ -z "$deb" ]; then
    # apt's own download user cannot write into a build tree owned by someone else: say nothing.
    (cd "$dir/debs" && apt-get download -q "$package" 2>&1 | grep -v -e '^W: Download is performed unsandboxed' -e '^Get:') || true
    deb=$(find "$dir/debs" -name "${package}_*.deb" | head -n 1)
    [ -n "$deb" ] || die "cannot download $package"
fi

tree=$(mktemp -d "$dir/tree.XXXXXX")
trap 'rm -rf "$tree"' EXIT
dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$tree" --wildcards './boot/vmlinuz-*' './lib/modules/*'
modules=$tree/lib/modules/$release
[ -d "$modules" ] || die "$package holds no modules for $release"

declare -A found seen
while IFS= read -r file; do
    name=$(basename "$file")
    name=${name%%.ko*}
    found[${name//-/_}]=$file
done < <(find "$modules/kernel" -name '*.ko' -o -name '*.ko.xz')

rm -rf "$dir/modules"
mkdir -p "$dir/modules"
# Depth first, so that every module comes after the ones it needs.
add_module() {
    local name=${1//-/_} file depends dep
    [ -z "${seen[$name]:-}" ] || return 0
    seen[$name]=1
    file=${found[$name]:-}
    if [ -z "$file" ]; then
        grep -q "/${name}.ko\$" "$modules/modules.builtin" 2>/dev/null ||
            grep -q "/${1}.ko\$" "$modules/modules.builtin" 2>/dev/null ||
            die "$release has no module $1"
        return 0
    fi
    if [ "${file%.xz}" != "$file" ]; then
        xz -dc "$file" >"$dir/modules/$name.ko"
    else
        cp "$file" "$dir/modules/$name.ko"
    fi
    depends=$(tr '\0' '\n' <"$dir/modules/$name.ko" | sed -n 's/^depends=//p' | head -n 1)
    for dep in ${depends//,/ }; do
        add_module "$dep"
    done
    echo "$name.ko" >>"$dir/modules/order"
}
: >"$dir/modules/order"
for module in "$@"; do
    add_module "$module"
done

cp "$tree/boot/vmlinuz-$release" "$dir/vmlinuz"
echo "$release" >"$dir/release"
echo "$wanted" >"$dir/wanted"
