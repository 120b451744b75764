#!/usr/bin/env bash
# Checks a built Windows program without running it, so that the 32-bit
# product is checked on hosts that cannot run it: the PE headers give the
# build tree's architecture (x86: PE32 for i386; x64: PE32+ for x86-64) and
# the GUI subsystem, and its hardening, read by objdump: dynamic base (ASLR;
# high entropy on x64), DEP, terminal-server aware, base relocations, no
# section both writable and executable, and the application manifest
# (resource type 24, id 1) asking for the administrator's rights, with the
# systems it was made for and nothing that changes how the dialogs look.
# For an installer or the stub (BQPACK given), bqpack info, list and verify
# read its package: info's Hardening line says the same, the header
# checksum is right, and verify finds the package sound, or with "damaged"
# last, finds the damage (status 2), or with "stub" last, says that the stub
# holds no package (status 2).
# usage: check_image.sh ARCH OBJDUMP IMAGE [BQPACK [damaged|stub]]
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
flags=(DYNAMIC_BASE NX_COMPAT TERMINAL_SERVICE_AWARE)
[ "$arch" = x64 ] && flags+=(HIGH_ENTROPY_VA)
for flag in "${flags[@]}"; do
    grep -q "^[[:space:]]*$flag\$" <<<"$headers" || fail "DllCharacteristics lack $flag"
done
grep -q '^[[:space:]]*relocations stripped$' <<<"$headers" && fail "relocations stripped"
grep -Eq '^Entry 5 [0-9a-f]+ 0*[1-9a-f][0-9a-f]* Base Relocation Directory' <<<"$headers" ||
    fail "no base relocations"

# Sections as objdump shows them: a section that holds code and is not
# read-only is both writable and executable.
sections=$("$objdump" -h "$image" 2>&1) || fail "objdump -h failed: $sections"
writable_code=$(awk '/^ *[0-9]+ /{name=$2; next} /CODE/ && !/READONLY/{printf "%s%s", sep, name; sep=" "}' <<<"$sections")
[ -z "$writable_code" ] || fail "writable and executable sections: $writable_code"

# The manifest: the leaf of type 24, id 1 in objdump's resource listing,
# read from the file at its section's offset.
leaf=$(awk '
    { gsub(",", "") }
    /^[0-9a-f]+   Entry: / { type = $4 }
    /^[0-9a-f]+     Entry: / { id = $4 }
    /Leaf: Addr:/ && type == "0x000018" && id == "0x000001" { print $4, $6; exit }' <<<"$headers")
manifest=""
if [ -z "$leaf" ]; then
    fail "no application manifest (resource type 24, id 1)"
else
    read -r rva size <<<"$leaf"
    base=$(awk '$1 == "ImageBase" { print $2 }' <<<"$headers")
    offset=""
    while read -r index name length vma lma at rest; do
        [[ $index =~ ^[0-9]+$ ]] || continue
        start=$((16#$vma - 16#$base))
        if ((rva >= start && rva < start + 16#$length)); then
            offset=$((rva - start + 16#$at))
            break
        fi
    done <<<"$sections"
    if [ -z "$offset" ]; then
        fail "the manifest at $rva lies in no section"
    else
        manifest=$(tail -c +$((offset + 1)) "$image" | head -c $((size)))
    fi
fi
if [ -n "$manifest" ]; then
    expect_in_manifest() { grep -qF "$1" <<<"$manifest" || fail "the manifest lacks $1"; }
    expect_in_manifest '<requestedExecutionLevel level="requireAdministrator" uiAccess="false"/>'
    for os in e2011457-1546-43c5-a5fe-008deee3d3f0 35138b9a-5d96-4fbd-8e2d-a2440225f93a \
        4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 1f676c76-80e1-4239-95bb-83d0f6d0da78 \
        8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a; do
        expect_in_manifest "<supportedOS Id=\"{$os}\"/>"
    done
    for word in Common-Controls dpiAware dpiAwareness; do
        grep -qi "$word" <<<"$manifest" && fail "the manifest names $word, which changes how the dialogs look"
    done
    xmllint --noout - <<<"$manifest" 2>/dev/null || fail "the manifest is not well-formed XML"
fi

if [ -n "$bqpack" ]; then
    for command in info list; do
        out=$("$bqpack" "$command" "$image" 2>&1) || fail "bqpack $command failed: $out"
    done
    info=$("$bqpack" info "$image" 2>&1)
    grep -q '^File count:' <<<"$info" || fail "bqpack info shows no file count: $info"
    grep -q '^Checksum: .*, correct$' <<<"$info" || fail "the header checksum is wrong: $info"
    high_entropy=""
    [ "$arch" = x64 ] && high_entropy=" high-entropy ASLR yes,"
    hardening="Hardening:          dynamic base yes, DEP yes,$high_entropy terminal-server aware yes, relocations yes, writable and executable sections none, manifest requireAdministrator"
    grep -qxF "$hardening" <<<"$info" || fail "bqpack info shows other hardening: $(grep '^Hardening:' <<<"$info")"
    out=$("$bqpack" verify "$image" 2>&1)
    status=$?
    if [ "$expect" = damaged ]; then
        [ "$status" = 2 ] || fail "bqpack verify of a damaged installer: status $status, not 2: $out"
    elif [ "$expect" = stub ]; then
        [ "$status" = 2 ] && grep -q "holds no package" <<<"$out" ||
            fail "bqpack verify of the stub: status $status, not 2 and \"holds no package\": $out"
    else
        [ "$status" = 0 ] || fail "bqpack verify: status $status: $out"
    fi
fi

if [ "$failures" != 0 ]; then
    exit 1
fi
echo "ok: $image ($arch${bqpack:+, package $expect})"
