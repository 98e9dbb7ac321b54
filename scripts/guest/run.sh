#!/usr/bin/env bash
# Runs one command inside an emulated x86-64 machine (qemu-system-x86_64, KVM when the
# machine has it) whose kernel runs 32-bit code, so 32-bit Wine works there even when
# this machine's kernel refuses 32-bit programs:
#   scripts/guest/run.sh [OPTION...] -- COMMAND [ARG...]
#
#   --timeout SECONDS       the command's time limit (default 3600); past it: exit 124
#   --boot-timeout SECONDS  time for the machine to start up to the command (default 300)
#   --share DIR             share DIR read-write at the same path in the guest (repeatable)
#   --share-ro DIR          share DIR read-only at the same path (repeatable)
#   --local DIR             DIR, inside a shared folder, keeps the guest's writes on the
#                           guest's own disk: the guest sees the host's files there and
#                           its changes on top, and the host gets none of them (repeatable;
#                           for Wine prefixes, which are very slow on a shared folder)
#   --env NAME[=VALUE]      put NAME in the command's environment (repeatable); without
#                           a value, with this shell's value
#   --memory MB             the guest's memory (default 3072)
#   --cpus N                its processors (default 2)
#   --console               show the guest's console (kernel, start-up) on stderr too
#
# The project checkout this script belongs to is always shared read-write, and so is the
# current folder when it lies outside. COMMAND runs in the current folder, as the
# calling user's uid and gid (root here), with a clean environment (PATH, HOME, USER,
# LANG=C.UTF-8, TERM and what --env adds) and no standard input. Its standard output
# and error arrive here as they are written; the guest's console goes to a log that is
# shown only when the machine fails. The disk image is never changed: every run starts
# from the same state, and whatever is not written into a shared folder is gone after.
#
# Exit status: COMMAND's; 124 when it ran past --timeout; 125 when the machine failed
# (no image, boot timeout, no status); 130 on Ctrl-C. No qemu outlives this script.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root_dir=$(cd "$here/../.." && pwd)

usage() {
    sed -n '/^#   scripts\/guest/,/^#   --console/s/^# \{0,1\}//p' "$0" >&2
    exit 125
}
die() {
    echo "guest: $*" >&2
    exit 125
}
is_uint() { [[ $1 =~ ^[0-9]+$ ]]; }

timeout=3600 boot_timeout=300 memory=3072 cpus=2 console=0
shares=() modes=() envs=() locals=()
while [ $# -gt 0 ]; do
    case $1 in
        --timeout) is_uint "${2:-}" || usage; timeout=$2; shift 2 ;;
        --boot-timeout) is_uint "${2:-}" || usage; boot_timeout=$2; shift 2 ;;
        --memory) is_uint "${2:-}" || usage; memory=$2; shift 2 ;;
        --cpus) is_uint "${2:-}" || usage; cpus=$2; shift 2 ;;
        --share | --share-ro)
            [ -d "${2:-}" ] || die "$1: no folder '${2:-}'"
            shares+=("$(realpath "$2")")
            if [ "$1" = --share ]; then modes+=(rw); else modes+=(ro); fi
            shift 2 ;;
        --local)
            [ -d "${2:-}" ] || die "$1: no folder '${2:-}'"
            locals+=("$(realpath "$2")")
            shift 2 ;;
        --env)
            [[ ${2:-} =~ ^[A-Za-z_][A-Za-z0-9_]*(=.*)?$ ]] || usage
            if [[ $2 == *=* ]]; then envs+=("$2"); else envs+=("$2=${!2-}"); fi
            shift 2 ;;
        --console) console=1; shift ;;
        --) shift; break ;;
        *) usage ;;
    esac
done
[ $# -gt 0 ] || usage

cwd=$(pwd -P)
inside() { # inside PATH FOLDER: PATH is FOLDER or lies under it
    [ "$1" = "$2" ] || [[ $1 == "$2"/* ]]
}
add_default_share() {
    local s
    for s in "${shares[@]}"; do inside "$1" "$s" && return; done
    shares+=("$1")
    modes+=(rw)
}
add_default_share "$root_dir"
add_default_share "$cwd"
for s in "${shares[@]}"; do
    # The guest's own system lives there; a share would hide it.
    case $s in
        / | /tmp | /bin* | /boot* | /dev* | /etc* | /lib* | /proc* | /run* | /sbin* | /sys* | /usr* | /var*)
            die "cannot share $s: the guest's own system is there" ;;
    esac
done

# Outer folders first: the guest mounts them in this order, so a share inside another
# one is mounted on top of it, not hidden by it.
sorted=$(for i in "${!shares[@]}"; do printf '%s\t%s\t%s\n' "${#shares[i]}" "${modes[i]}" "${shares[i]}"; done |
    sort -n -s -k1,1)
shares=() modes=()
while IFS=$'\t' read -r _ mode share; do
    shares+=("$share")
    modes+=("$mode")
done <<<"$sorted"

for l in "${locals[@]}"; do
    shared=0
    for s in "${shares[@]}"; do inside "$l" "$s" && shared=1; done
    [ $shared = 1 ] || die "--local $l: not inside a shared folder"
done

image=$("$here/build-image.sh" | tail -n 1) && [ -f "$image/disk.img" ] || die "no guest image"
touch "$image/last-used" 2>/dev/null

ctl=$(mktemp -d "${TMPDIR:-/tmp}/tabulon-guest.XXXXXX") || die "no temporary folder"
qemu_pid= out_pid= err_pid=
cleanup() {
    local p
    for p in $qemu_pid $out_pid $err_pid; do kill -KILL "$p" 2>/dev/null; done
    for p in $qemu_pid $out_pid $err_pid; do wait "$p" 2>/dev/null; done
    rm -rf "$ctl"
}
trap cleanup EXIT
trap 'echo "guest: interrupted" >&2; exit 130' INT
trap 'exit 143' TERM HUP

# The script the guest's first process runs from the control folder.
uid=$(id -u) gid=$(id -g) user=$(id -un)
{
    echo 'ctl=/run/tabulon'
    printf 'uid=%q gid=%q user=%q cwd=%q timeout=%q\n' "$uid" "$gid" "$user" "$cwd" "$timeout"
    printf 'shares=('; printf '%q ' "${shares[@]}"; echo ')'
    printf 'modes=('; printf '%q ' "${modes[@]}"; echo ')'
    printf 'locals=('; [ ${#locals[@]} = 0 ] || printf '%q ' "${locals[@]}"; echo ')'
    printf 'envs=('; [ ${#envs[@]} = 0 ] || printf '%q ' "${envs[@]}"; echo ')'
    printf 'command=('; printf '%q ' "$@"; echo ')'
    printf 'term=%q cache=%q\n' "${TERM:-dumb}" "${TABULON_GUEST_9P_CACHE:-loose}"
    cat <<'EOF'
fail() {
    echo "guest: $*" >&2
    exit 1
}
cut -d' ' -f1 /proc/uptime >"$ctl/booted"
for i in "${!shares[@]}"; do
    opts=trans=virtio,version=9p2000.L,msize=262144,cache=$cache
    [ "${modes[i]}" = ro ] && opts=$opts,ro
    mkdir -p "${shares[i]}" && mount -t 9p -o "$opts" "share$i" "${shares[i]}" ||
        fail "cannot mount ${shares[i]}"
done
# An overlay: the shared folder below, the guest's disk above.
for i in "${!locals[@]}"; do
    layer=/var/tmp/tabulon-local/$i
    mkdir -p "$layer/upper" "$layer/work" &&
        mount -t overlay overlay -o "lowerdir=${locals[i]},upperdir=$layer/upper,workdir=$layer/work" \
            "${locals[i]}" || fail "cannot overlay ${locals[i]}"
done
port() {
    local p
    for p in /sys/class/virtio-ports/*; do
        [ "$(cat "$p/name" 2>/dev/null)" = "$1" ] && { echo "/dev/${p##*/}"; return; }
    done
    fail "no port $1"
}
out=$(port tabulon.out) && err=$(port tabulon.err) || exit 1
home=/root
if [ "$uid" != 0 ]; then
    home=/tmp/home
    mkdir -p "$home" && chown "$uid:$gid" "$home"
    getent passwd "$uid" >/dev/null || echo "$user:x:$uid:$gid::$home:/bin/bash" >>/etc/passwd
    getent group "$gid" >/dev/null || echo "$user:x:$gid:" >>/etc/group
fi
cd "$cwd" || fail "no folder $cwd"
as_user=()
[ "$uid" = 0 ] || as_user=(setpriv --reuid="$uid" --regid="$gid" --clear-groups)
# timeout(1) signals the command's whole process group: Wine's servers go with it.
timeout --kill-after=10 "$timeout" "${as_user[@]}" env -i PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin \
    HOME="$home" USER="$user" LOGNAME="$user" LANG=C.UTF-8 TERM="$term" "${envs[@]}" "${command[@]}" \
    </dev/null >"$out" 2>"$err"
status=$?
# The shared folders' cached writes reach the host before the host hears the status.
sync
echo $status >"$ctl/status.part" && mv "$ctl/status.part" "$ctl/status"
EOF
} >"$ctl/guest.sh"

# The command's output comes through two virtio ports into these pipes. The readers
# die with this script, even when it is killed outright.
mkfifo "$ctl/out" "$ctl/err" || die "mkfifo failed"
setpriv --pdeathsig KILL cat "$ctl/out" &
out_pid=$!
setpriv --pdeathsig KILL cat "$ctl/err" >&2 &
err_pid=$!

# KVM where this machine offers it; software emulation otherwise.
accel=tcg
[ -w /dev/kvm ] && accel=kvm
qemu=(qemu-system-x86_64 -nodefaults -no-user-config -display none -monitor none -no-reboot
    -accel "$accel" -m "$memory" -smp "$cpus"
    -kernel "$image/vmlinuz" -initrd "$image/initrd.img"
    -append "root=/dev/vda rw console=ttyS0 quiet loglevel=0 panic=1 init=/sbin/tabulon-init"
    # The guest's writes go to a throwaway layer: never flushed, gone with qemu.
    -drive "file=${image//,/,,}/disk.img,format=raw,if=virtio,snapshot=on,cache=unsafe"
    -serial "file:$ctl/console.log"
    -device virtio-serial
    -chardev "file,id=out,path=${ctl//,/,,}/out" -device virtserialport,chardev=out,name=tabulon.out
    -chardev "file,id=err,path=${ctl//,/,,}/err" -device virtserialport,chardev=err,name=tabulon.err
    -virtfs "local,path=${ctl//,/,,},mount_tag=tabulon-control,security_model=none")
for i in "${!shares[@]}"; do
    ro=
    [ "${modes[i]}" = ro ] && ro=,readonly=on
    # qemu reads a doubled comma as a comma of the path.
    qemu+=(-virtfs "local,path=${shares[i]//,/,,},mount_tag=share$i,security_model=none$ro")
done

start=$SECONDS
setpriv --pdeathsig KILL "${qemu[@]}" </dev/null >"$ctl/qemu.log" 2>&1 &
qemu_pid=$!
[ $console = 1 ] && { tail -F -n +1 --pid=$qemu_pid "$ctl/console.log" 2>/dev/null >&2 & }

# Watch the machine: the boot's limit until the guest reports in, then the command's,
# with some slack for the guest's own timeout to act and report.
booted=0 status=
while kill -0 "$qemu_pid" 2>/dev/null; do
    if [ -f "$ctl/status" ]; then
        status=$(cat "$ctl/status")
        # The guest switches itself off right after; give it a few seconds.
        for _ in $(seq 50); do kill -0 "$qemu_pid" 2>/dev/null || break; sleep 0.2; done
        break
    fi
    if [ $booted = 0 ] && [ -f "$ctl/booted" ]; then
        booted=$SECONDS
        [ -n "${TABULON_GUEST_TIMES:-}" ] && echo "guest: started in $((booted - start)) s" >&2
    fi
    if [ $booted = 0 ] && [ $((SECONDS - start)) -ge "$boot_timeout" ]; then
        echo "guest: the machine did not start within $boot_timeout s" >&2
        break
    fi
    if [ $booted != 0 ] && [ $((SECONDS - booted)) -ge $((timeout + 30)) ]; then
        status=124
        echo "guest: the command did not end within $timeout s" >&2
        break
    fi
    sleep 0.2
done
kill -KILL "$qemu_pid" 2>/dev/null
wait "$qemu_pid" 2>/dev/null
qemu_pid=
# A quick command's guest may have reported and switched off between two looks.
[ -z "$status" ] && [ -f "$ctl/status" ] && status=$(cat "$ctl/status")
# The readers end with the pipes' last writer; wait for what is still in them. Opening
# a pipe both ways never blocks, and frees a reader still waiting for qemu to open it.
: <>"$ctl/out"
: <>"$ctl/err"
wait "$out_pid" "$err_pid" 2>/dev/null
out_pid= err_pid=

if [ -z "$status" ]; then
    echo "guest: no exit status from the guest; the end of its console and of qemu's output:" >&2
    tail -n 20 "$ctl/console.log" "$ctl/qemu.log" >&2 2>/dev/null
    exit 125
fi
[ -n "${TABULON_GUEST_TIMES:-}" ] && echo "guest: done in $((SECONDS - start)) s" >&2
[ "$status" = 124 ] && [ -f "$ctl/status" ] && echo "guest: the command ran past $timeout s" >&2
exit "$status"
