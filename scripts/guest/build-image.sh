#!/usr/bin/env bash
# Builds, once, the disk of the emulated x86-64 machine that scripts/guest/run.sh boots
# to run 32-bit Wine where the build machine's own kernel runs no 32-bit code:
#   build-image.sh             build it unless it is cached; the last line is its folder
#   build-image.sh --folder    only print the folder it is (or would be) in
#   build-image.sh --rebuild   build it again even if cached
# The folder holds disk.img (ext4, the whole root), vmlinuz and initrd.img beside it,
# and packages.txt (the Debian point release, then what is installed, with versions).
# It is named after a hash of this script, so a change here makes a new image and an
# unchanged script finds the old one at once. Everything comes from the release's own
# suite on this machine's configured Debian mirror: the guest runs offline and is
# thrown away, so it needs no security or stable updates, and an archive part-way
# through updating those cannot break it.
# Needs root (debootstrap, chroot, mount).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root_dir=$(cd "$here/../.." && pwd)

# What the Windows tests call inside the guest: Wine, ctest, msiinfo, rev, objdump and
# the cross compiler (one test compiles a probe against mingw-w64's headers).
# Perl, flock, awk, sed, diff and cmp come with the base system.
packages=(
    linux-image-amd64 initramfs-tools
    wine wine32:i386
    cmake
    msitools bsdextrautils
    binutils-mingw-w64-i686 g++-mingw-w64-i686-posix
)
suite=$(. /etc/os-release && echo "${VERSION_CODENAME:?}")
# Plenty of room: the file is sparse, and tests may keep Wine prefixes on the guest's disk.
disk_size=10G

key=$(cat "$0" <(echo "$suite") | sha256sum | cut -c1-16)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/tabulon-guest
folder=$cache/$key

say() { echo "build-image: $*" >&2; }

case ${1:-} in
    --folder) echo "$folder"; exit 0 ;;
    --rebuild) rebuild=1 ;;
    "") rebuild=0 ;;
    *) echo "usage: $0 [--folder | --rebuild]" >&2; exit 2 ;;
esac

if [ "$rebuild" = 0 ] && [ -f "$folder/disk.img" ]; then
    echo "$folder"
    exit 0
fi
[ "$(id -u)" = 0 ] || { say "building the guest image needs root (debootstrap, chroot)"; exit 1; }

"$root_dir/scripts/install-deps.sh" debootstrap qemu-system-x86 e2fsprogs

mkdir -p "$cache"
exec 9>"$cache/$key.lock"
if ! flock -n 9; then
    say "another run is building the image; waiting for it"
    flock 9
fi
if [ "$rebuild" = 0 ] && [ -f "$folder/disk.img" ]; then
    echo "$folder"
    exit 0
fi

start=$SECONDS
rm -rf "$cache/.build-$key".*  # left by a build that was killed outright
work=$(mktemp -d "$cache/.build-$key.XXXXXX")
rootfs=$work/root
mounted=()
# The root is put together in memory (about 2.5 GB at most): dpkg's many small
# synchronous writes cost nothing there, and the image file is written in one go.
mkdir "$rootfs"
mount -t tmpfs -o size=8G,mode=755 tmpfs "$rootfs"
mounted+=("$rootfs")
cleanup() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[i]}" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# This machine's Debian mirror for the release's own suite, as apt reads it.
mirror=$(apt-get indextargets --format '$(SITE) $(RELEASE) $(COMPONENT) $(TARGET_OF)' |
    awk -v s="$suite" '$2 == s && $3 == "main" && $4 == "deb" { print $1; exit }')
[ -n "$mirror" ] || { say "no '$suite main' entry among this machine's apt sources"; exit 1; }

log=$work/build.log
say "debootstrap $suite from $mirror (log: $log while it runs)"
debootstrap --variant=minbase --arch=amd64 --components=main "$suite" "$rootfs" "$mirror" >"$log" 2>&1 ||
    { tail -n 30 "$log" >&2; say "debootstrap failed"; exit 1; }

# Lean and quiet: no documentation, no manual pages, no translations, no services.
cat >"$rootfs/etc/dpkg/dpkg.cfg.d/01-tabulon-lean" <<'EOF'
path-exclude=/usr/share/doc/*
path-exclude=/usr/share/man/*
path-exclude=/usr/share/info/*
path-exclude=/usr/share/locale/*
path-exclude=/usr/share/lintian/*
EOF
printf '#!/bin/sh\nexit 101\n' >"$rootfs/usr/sbin/policy-rc.d"
chmod 755 "$rootfs/usr/sbin/policy-rc.d"
rm -f "$rootfs/etc/apt/sources.list" "$rootfs"/etc/apt/sources.list.d/*
echo "deb $mirror $suite main" >"$rootfs/etc/apt/sources.list"

# The initrd needs only what finds and mounts the root on a virtio disk. A fixed list,
# not the modules this build machine happens to use.
mkdir -p "$rootfs/etc/initramfs-tools/conf.d"
printf 'MODULES=list\nCOMPRESS=gzip\n' >"$rootfs/etc/initramfs-tools/conf.d/tabulon"
printf '%s\n' virtio_pci virtio_blk ext4 >"$rootfs/etc/initramfs-tools/modules"

for m in proc sys dev dev/pts; do
    mount --bind "/$m" "$rootfs/$m"
    mounted+=("$rootfs/$m")
done
binds=4
in_root() { chroot "$rootfs" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive "$@"; }
say "installing ${packages[*]}"
{
    in_root dpkg --add-architecture i386 &&
        in_root apt-get update &&
        in_root apt-get install -y --no-install-recommends -o Dpkg::Options::=--force-confold "${packages[@]}"
} >>"$log" 2>&1 || { tail -n 30 "$log" >&2; say "installing the guest's packages failed"; exit 1; }
{
    echo "# Debian $(cat "$rootfs/etc/debian_version") ($suite), from $mirror $suite main only"
    in_root dpkg-query -W -f '${Package}:${Architecture} ${Version}\n' | sort
} >"$work/packages.txt"
for ((; binds > 0; binds--)); do
    umount "${mounted[-1]}"
    unset 'mounted[-1]'
done

# The first process of the guest. It mounts the kernel's file systems and the control
# folder that run.sh shares under the tag "tabulon-control", runs the script run.sh put
# there, and switches the machine off. Everything else is run.sh's business, so changing
# how a command is run needs no new image.
cat >"$rootfs/sbin/tabulon-init" <<'EOF'
#!/bin/sh
export PATH=/usr/sbin:/usr/bin:/sbin:/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mkdir -p /dev/pts /dev/shm
mount -t devpts -o gid=5,mode=620 devpts /dev/pts
mount -t tmpfs -o mode=1777 tmpfs /dev/shm
mount -t tmpfs -o mode=1777 tmpfs /tmp
mount -t tmpfs -o mode=755 tmpfs /run
modprobe -q 9pnet_virtio
modprobe -q 9p
modprobe -q virtio_console
mkdir -p /run/tabulon
if mount -t 9p -o trans=virtio,version=9p2000.L,msize=262144 tabulon-control /run/tabulon; then
    /bin/bash /run/tabulon/guest.sh
else
    echo "tabulon-init: no control folder shared" >&2
fi
sync
echo o >/proc/sysrq-trigger
sleep 60
EOF
chmod 755 "$rootfs/sbin/tabulon-init"
echo tabulon-guest >"$rootfs/etc/hostname"
printf '127.0.0.1 localhost\n127.0.1.1 tabulon-guest\n' >"$rootfs/etc/hosts"

kernels=("$rootfs"/boot/vmlinuz-*)
[ ${#kernels[@]} = 1 ] || { say "expected one kernel in the guest, found: ${kernels[*]}"; exit 1; }
cp "${kernels[0]}" "$work/vmlinuz"
cp "$rootfs/boot/initrd.img-${kernels[0]#*/boot/vmlinuz-}" "$work/initrd.img"
rm -rf "$rootfs"/var/lib/apt/lists/* "$rootfs"/var/cache/apt/* "$rootfs"/var/cache/debconf/*-old \
    "$rootfs"/var/log/* "$rootfs"/boot/* "$rootfs/usr/sbin/policy-rc.d" \
    "$rootfs"/usr/share/{doc,man,info,locale,lintian}/*

# Fixed identifiers, so that two builds of the same packages make the same file system.
say "making the ext4 image"
mkfs.ext4 -q -F -d "$rootfs" -L root -U 5f0b6a52-7c0e-4f43-9d0a-2b6c1e0a7b31 \
    -E hash_seed=0b7e5c2d-3a41-4a8e-9c55-6d1f2e3b4a90,root_owner=0:0 "$work/disk.img" "$disk_size" \
    >>"$log" 2>&1 || { tail -n 30 "$log" >&2; say "mkfs.ext4 failed"; exit 1; }
umount "$rootfs"
mounted=()
rmdir "$rootfs"
chmod 755 "$work"
rm -rf "$folder"
mv "$work" "$folder"
trap - EXIT
# Images of other versions of this script that no run has used for three days.
for old in "$cache"/*/; do
    old=${old%/}
    [ "$old" = "$folder" ] && continue
    stamp=$old/last-used
    [ -e "$stamp" ] || stamp=$old
    [ -n "$(find "$stamp" -maxdepth 0 -mtime +2)" ] && rm -rf "$old"
done
say "built in $((SECONDS - start)) s: $(du -sh --apparent-size "$folder/disk.img" | cut -f1) disk" \
    "($(du -sh "$folder/disk.img" | cut -f1) used), $(grep -vc '^#' "$folder/packages.txt") packages"
echo "$folder"
