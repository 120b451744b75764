#!/usr/bin/env bash
# Checks a built Windows program without running it, so that the 32-bit
# product is checked on hosts that cannot run it: the PE headers give the
# build tree's architecture (x86: PE32 for i386; x64: PE32+ for x86-64),
# the GUI subsystem, dynamic base (ASLR) and DEP.  For an installer or the
# stub (BQPACK given), bqpack info, list and verify read its package: the
# header checksum is right, and verify finds the package sound, or with
# "damaged" last, finds the damage (status 2).
# usage: check_image.sh ARCH OBJDUMP IMAGE [BQPACK [damaged]]
set -uo pipefail
arch=$1 objdump=$2 image=$3 bqpack=${4:-} expect=${5:-sound}
failures=0
fail() { echo "FAIL: $image: $*"; failures=$((failures + 1)); }

case "$arch" in
x86) format=pei-i386 magic='010b	(PE32)' ;;
x64) format=pei-x86-64 magic='020b	(PE32+)' ;;
*) echo "check_image.sh: unknown architecture '$arch'"; exit 2 ;;
esac
headers=$("$objdump" -p "$image" 2>&1) || fail "objdump -p failed: $headers"
grep -q "file format $format\$" <<<"$headers" || fail "not $format: $(grep -m1 'file format' <<<"$headers")"
grep -qF "Magic			$magic" <<<"$headers" || fail "optional header magic is not $magic"
grep -q '^Subsystem		00000002	(Windows GUI)$' <<<"$headers" || fail "not a Windows GUI program"
for flag in DYNAMIC_BASE NX_COMPAT; do
    grep -q "^[[:space:]]*$flag\$" <<<"$headers" || fail "DllCharacteristics lack $flag"
done

if [ -n "$bqpack" ]; then
    for command in info list; do
        out=$("$bqpack" "$command" "$image" 2>&1) || fail "bqpack $command failed: $out"
    done
    info=$("$bqpack" info "$image" 2>&1)
    grep -q '^File count:' <<<"$info" || fail "bqpack info shows no file count: $info"
    grep -q '^Checksum: .*, correct$' <<<"$info" || fail "the header checksum is wrong: $info"
    out=$("$bqpack" verify "$image" 2>&1)
    status=$?
    if [ "$expect" = damaged ]; then
        [ "$status" = 2 ] || fail "bqpack verify of a damaged installer: status $status, not 2: $out"
    else
        [ "$status" = 0 ] || fail "bqpack verify: status $status: $out"
    fi
fi

if [ "$failures" != 0 ]; then
    exit 1
fi
echo "ok: $image ($arch${bqpack:+, package $expect})"
