#!/usr/bin/env bash
# Proves scripts/guest/run.sh end to end, in five boots of the guest (4 to 8 minutes
# with the machine's load, most of it Wine making a prefix):
# 0. a command that fails at once: its status comes back all the same;
# 1. a 32-bit Windows program runs under Wine and its exit code comes back; output,
#    the working folder, files written into a shared folder, flock on a shared folder
#    and a --local folder behave as documented;
# 2. a command past --timeout is stopped, with status 124;
# 3. an interrupted run ends at once with status 130;
# 4. a run killed outright takes its qemu along.
# After each run no qemu of this test may be left.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
run=$here/run.sh

work=$(mktemp -d /tmp/tabulon-guest-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
# run.sh's own temporary folders land here, so this test's qemu can be told apart.
export TMPDIR=$work/tmp
mkdir -p "$TMPDIR" "$work/share/local"

passed=0 failed=0
check() { # check WHAT EXPECTED ACTUAL
    if [ "$2" = "$3" ]; then
        echo "ok: $1"
        passed=$((passed + 1))
    else
        printf 'FAILED: %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
        failed=$((failed + 1))
    fi
}
no_qemu_left() {
    sleep 1
    check "$1: no qemu left running" "" "$(pgrep -f "qemu-system-x86_64.*$work" || true)"
}

compiler=i686-w64-mingw32-gcc-posix
if ! command -v "$compiler" >/dev/null; then
    echo "$compiler is missing (scripts/install-deps.sh installs it)"
    exit 1
fi
cat >"$work/probe.c" <<'EOF'
#include <stdio.h>
int main(int argc, char** argv) {
    printf("%u-bit %s\n", (unsigned)(sizeof(void*) * 8), argc > 1 ? argv[1] : "");
    return 42;
}
EOF
"$compiler" -O2 -s -o "$work/share/probe.exe" "$work/probe.c" || exit 1
echo "from the host" >"$work/share/local/seen"

echo "== 0: a command that fails at once"
"$run" -- false
check "its status, though the guest switches off right after" 1 "$?"

echo "== 1: a Windows program, output, files, locks"
cd "$work/share"
# Inside the guest: the program's output goes to stdout, a note to stderr, and the
# program's exit code is the command's.
cat >guest.sh <<'EOF'
pwd
echo "a note" >&2
echo written >made
chmod 640 made
(flock 9; sleep 3) 9>lock &
sleep 1
flock -n lock true && echo "lock: shared" || echo "lock: exclusive"
wait
cat local/seen
echo "from the guest" >local/written
export WINEPREFIX=/tmp/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine probe.exe argument | tr -d '\r'
exit ${PIPESTATUS[0]}
EOF
start=$SECONDS
"$run" --local "$work/share/local" -- bash guest.sh >"$work/out" 2>"$work/err"
status=$?
echo "   (run 1 took $((SECONDS - start)) s)"
check "the program's exit code" 42 "$status"
check "stdout: working folder, lock, --local, the 32-bit program" \
    "$(printf '%s\n' "$work/share" "lock: exclusive" "from the host" "32-bit argument")" "$(cat "$work/out")"
# Wine adds a line of its own about the new prefix.
check "stderr, apart from stdout" "a note|" "$(grep -x 'a note' "$work/err")|$(grep -x 'a note' "$work/out")"
check "a file the guest wrote: content, owner, mode" "written $(id -u):$(id -g) 640" \
    "$(cat made 2>/dev/null) $(stat -c '%u:%g %a' made 2>/dev/null)"
check "--local keeps the guest's writes" "absent" "$([ -e local/written ] && echo present || echo absent)"
no_qemu_left "run 1"

echo "== 2: --timeout"
start=$SECONDS
"$run" --timeout 5 -- sleep 600 >"$work/out" 2>&1
status=$?
took=$((SECONDS - start))
echo "   (run 2 took $took s)"
check "a command past --timeout" 124 "$status"
check "stopped soon after its limit" yes "$([ $took -lt 200 ] && echo yes || echo "no, $took s")"
no_qemu_left "run 2"

echo "== 3: Ctrl-C"
# The run as a job of its own (a background command of a script starts with SIGINT
# ignored); returns when its command has started.
start_run() {
    rm -f started
    set -m
    "$run" -- bash -c 'touch started; sleep 600' >"$work/out" 2>&1 &
    pid=$!
    set +m
    for _ in $(seq 600); do [ -e started ] || ! kill -0 $pid 2>/dev/null && break; sleep 0.5; done
    check "the command started" yes "$([ -e started ] && echo yes || echo no)"
}
start_run
# As a terminal's Ctrl-C does it: SIGINT to the whole process group.
start=$SECONDS
kill -INT -- -$pid
wait $pid
status=$?
check "an interrupted run" 130 "$status"
check "ends at once" yes "$([ $((SECONDS - start)) -lt 15 ] && echo yes || echo no)"
no_qemu_left "run 3"

echo "== 4: SIGKILL"
start_run
kill -KILL $pid
wait $pid
no_qemu_left "run 4"

echo "guest: $passed passed, $failed failed"
[ $failed = 0 ]
