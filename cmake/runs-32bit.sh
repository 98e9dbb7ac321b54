#!/usr/bin/env bash
# Says whether this machine's kernel runs 32-bit x86 programs, without Wine: it runs
# a 93-byte 32-bit program that only exits (Linux's exit system call through
# int 0x80). Some kernels run no 32-bit code at all, whatever is installed.
#   runs-32bit.sh     exit 0 and "yes", or exit 1 and "no (why)", on stdout
#   TABULON_NO_32BIT=1            "no" without asking, to take that path anywhere
#   TABULON_PROBE_32BIT=PROGRAM   run PROGRAM instead, for tests
set -u
if [ "${TABULON_NO_32BIT:-0}" = 1 ]; then
    echo "no (TABULON_NO_32BIT=1 is set)"
    exit 1
fi
program=$(mktemp "${TMPDIR:-/tmp}/tabulon-probe32.XXXXXX") || exit 1
trap 'rm -f "$program"' EXIT
if [ -n "${TABULON_PROBE_32BIT:-}" ]; then
    cp "$TABULON_PROBE_32BIT" "$program"
else
    base64 -d >"$program" <<'ELF'
f0VMRgEBAQAAAAAAAAAAAAIAAwABAAAAVIAECDQAAAAAAAAAAAAAADQAIAABAAAAAAAAAAEAAAAAAAAA
AIAECACABAhdAAAAXQAAAAUAAAAAEAAAuAEAAAAx282A
ELF
fi
chmod 700 "$program"
rc=0
(exec "$program") 2>/dev/null || rc=$?
case $rc in
    0) echo "yes" ;;
    126) echo "no (the kernel refuses them: Exec format error)" ;;
    *) echo "no (a 32-bit program that only exits ended with status $rc)" ;;
esac
[ "$rc" = 0 ]
