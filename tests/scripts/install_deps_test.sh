#!/usr/bin/env bash
# scripts/install-deps.sh: which packages it picks for a machine with and without
# 32-bit programs, and how it meets an archive part-way through an update, with apt
# replaced by a stand-in that fails as the archive did.
set -u
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A copy, so that its log lands in this test's folder: $root/build/install-deps.log.
root=$work/root
mkdir -p "$root/scripts" "$root/cmake"
cp "$(dirname "$0")/../../scripts/install-deps.sh" "$root/scripts/"
cp "$(dirname "$0")/../../cmake/runs-32bit.sh" "$root/cmake/"
script=$root/scripts/install-deps.sh

failures=0
check() { # check WHAT EXPECTED ACTUAL
    if [ "$2" != "$3" ]; then
        printf 'FAILED: %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
        failures=$((failures + 1))
    fi
}
has() { grep -qxF -- "$2" <<<"$(tr ' ' '\n' <<<"$1")"; }

# The probe's decision and what it asks for.
printf '#!/bin/sh\nexit 0\n' >"$work/runs"
printf '#!/bin/sh\nexit 126\n' >"$work/refused"
for row in "runs|yes|1" "refused|no (the kernel refuses them: Exec format error)|0"; do
    IFS='|' read -r probe decision wants32 <<<"$row"
    out=$(TABULON_PROBE_32BIT=$work/$probe "$script" --print)
    check "$probe: the decision" "32-bit programs: $decision" "$(sed -n 1p <<<"$out")"
    packages=$(sed -n 's/^packages: //p' <<<"$out")
    check "$probe: wine32:i386 asked for" "$wants32" "$(has "$packages" wine32:i386 && echo 1 || echo 0)"
    check "$probe: wine64 asked for" 1 "$(has "$packages" wine64 && echo 1 || echo 0)"
    check "$probe: nothing else of i386" 0 "$(grep -c ':i386' <<<"${packages// /$'\n'}" |
        awk -v w="$wants32" '{ print $1 - w }')"
done
out=$(TABULON_NO_32BIT=1 "$script" --print)
check "TABULON_NO_32BIT=1 decides without asking" "32-bit programs: no (TABULON_NO_32BIT=1 is set)" \
    "$(sed -n 1p <<<"$out")"
# The real probe, on this machine: it runs or is refused, and says which.
out=$("$script" --print | sed -n 1p)
case $out in
    "32-bit programs: yes" | "32-bit programs: no (the kernel refuses them: Exec format error)") ;;
    *) check "the real probe's answer" "yes or Exec format error" "$out" ;;
esac
out=$("$script" --print tabulon-test-absent dpkg)
check "named packages: no probe" "packages: tabulon-test-absent dpkg|missing: tabulon-test-absent" \
    "$(paste -sd'|' <<<"$out")"

# apt's stand-in: `update` fails to fetch one index the way a mirror mid-sync does
# (or succeeds with TABULON_TEST_INDEX=ok); `install` succeeds or fails as told.
cat >"$work/apt-get" <<'EOF'
#!/bin/sh
echo "$1" >>"$TABULON_TEST_CALLS"
case $1 in
update)
    echo "Get:1 http://deb.example/debian bookworm InRelease [151 kB]"
    [ "$TABULON_TEST_INDEX" = ok ] && exit 0
    echo "Err:6 http://deb.example/debian-security bookworm-security/main i386 Packages"
    echo "  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]"
    echo "E: Failed to fetch http://deb.example/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]"
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
    exit 100 ;;
install)
    [ "$TABULON_TEST_INSTALL" = ok ] && exit 0
    echo "E: Package 'tabulon-test-absent' has no installation candidate"
    exit 100 ;;
esac
EOF
chmod +x "$work/apt-get"
index=http://deb.example/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz
# row: index|install|exit|update calls|install calls|last line of stderr
for row in \
    "broken|fails|1|3|1|apt's whole output: $root/build/install-deps.log" \
    "broken|ok|0|3|1|" \
    "ok|fails|1|1|1|apt's whole output: $root/build/install-deps.log"; do
    IFS='|' read -r index_state install_state want_rc want_updates want_installs want_last <<<"$row"
    calls=$work/calls-$index_state-$install_state
    rc=0
    TABULON_APT_GET=$work/apt-get TABULON_APT_RETRY_SECONDS=0 TABULON_TEST_CALLS=$calls \
        TABULON_TEST_INDEX=$index_state TABULON_TEST_INSTALL=$install_state \
        "$script" tabulon-test-absent >"$work/out" 2>"$work/err" || rc=$?
    name="index $index_state, install $install_state"
    check "$name: exit status" "$want_rc" "$rc"
    check "$name: apt-get update runs" "$want_updates" "$(grep -cx update "$calls")"
    check "$name: apt-get install runs" "$want_installs" "$(grep -cx install "$calls")"
    [ -z "$want_last" ] || check "$name: the last line said" "$want_last" "$(tail -n 1 "$work/err")"
    # Each retry says so; the failure itself is one line and where the log is.
    check "$name: lines on stderr" "$(((want_updates - 1) + (want_rc == 0 ? 0 : 2)))" \
        "$(wc -l <"$work/err")"
done
check "the broken index is named, with the likely cause" 1 \
    "$(grep -c "^Installing failed: the package index $index did not download 3 times running. The package archive is probably part-way through an update: try again later.\$" \
        <(TABULON_APT_GET=$work/apt-get TABULON_APT_RETRY_SECONDS=0 TABULON_TEST_CALLS=$work/c \
            TABULON_TEST_INDEX=broken TABULON_TEST_INSTALL=fails "$script" tabulon-test-absent 2>&1))"
check "a plain failure gives apt's own reason" \
    "Installing failed: E: Package 'tabulon-test-absent' has no installation candidate" \
    "$(sed -n 1p "$work/err")"
check "apt's whole output is kept" 1 \
    "$(grep -q 'Mirror sync in progress' "$root/build/install-deps.log" && echo 1 || echo 0)"

[ $failures = 0 ] && echo "install-deps: all checks passed"
exit $((failures > 0))
