#!/usr/bin/env bash
# bqpack info, list, verify and extract on images the MinGW linker built
# from tests/unit/bqpack/data/full.bqm: bqpack.exe under Wine, and the native
# bqpack when given.  Checks the settings shown, the sizes listed, that
# extract gives back the inputs byte for byte (also replacing existing
# files), that a flipped digest byte is reported with status 2, the file
# MD5s and JSON of list and verify, and that implode and explode replace an
# existing output only when they succeed.
# usage: inspect_exe.sh WINE_RUN BQPACK_EXE NATIVE_BQPACK|"" DATA WORK x86|x64 IMAGE...
set -uo pipefail
abs() { [ -z "$1" ] || realpath -m "$1"; }
wine_run=$(abs "$1") bqpack_exe=$(abs "$2") native=$(abs "$3") data=$(abs "$4") work=$(abs "$5")
arch=$6
shift 6
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

expected_info='Default folder:     C:\Test Folder\Sub
Ask for folder:     no
Pass setup path:    no
Verify digests:     no
Engine program:     Eng.exe
Init verb:          V1
Init verb (/R):     V2
Init verb (/G):     V3
Scheduler class:    SchedW
Scheduler command:  77
Shell class:        ShellW
Shell message:      4294967295
Engine class:       EngineW
Configuration file: Client.inz (4096 bytes)
Build folder:       d:\build\"x"\
File count:         3'

# run KIND ARGS...: runs one bqpack; output in $out and $err (CR removed), status in $rc.
run() {
    local kind=$1
    shift
    if [ "$kind" = exe ]; then
        "$wine_run" "$bqpack_exe" "$@" >stdout.txt 2>stderr.txt
    else
        "$native" "$@" >stdout.txt 2>stderr.txt
    fi
    rc=$?
    out=$(tr -d '\r' <stdout.txt)
    err=$(tr -d '\r' <stderr.txt)
}

check_image() { # KIND IMAGE
    local kind=$1 image name
    image=$(abs "$2")
    name=$(basename "$image")
    echo "== $kind bqpack on $name"
    rm -rf "$work/$kind" && mkdir -p "$work/$kind" && cd "$work/$kind" || exit 1
    cp "$image" setup.exe

    run "$kind" info setup.exe
    [ $rc -eq 0 ] && [ "$(head -n 16 <<<"$out")" = "$expected_info" ] ||
        fail "$kind info: status $rc: $out $err"
    local bits="PE32"
    [ "$arch" = x64 ] && bits="PE32+"
    grep -qxF "Architecture:       $arch ($bits)" <<<"$out" || fail "$kind info: not $arch: $out"
    grep -qxF "Signature:          none" <<<"$out" || fail "$kind info: a signature? $out"

    run "$kind" list setup.exe
    [ $rc -eq 0 ] || fail "$kind list: status $rc: $err"
    for line in "Mixed.bin +$(stat -c %s "$data/mixed.bin") " "One Byte.bin +1 " "Empty.bin +0 +0 " \
        "Configuration file Client.inz: 4096 bytes"; do
        grep -qE "^$line" <<<"$out" || fail "$kind list: no line '$line' in: $out"
    done
    # The file MD5 column is what md5sum says of the packaged file.
    grep -qE "^Name .* File MD5 +Stored stream MD5\$" <<<"$out" || fail "$kind list: header: $out"
    for pair in "Mixed.bin:mixed.bin" "One Byte.bin:one.bin" "Empty.bin:empty.bin"; do
        local md5
        md5=$(md5sum <"$data/${pair#*:}" | cut -d' ' -f1)
        grep -qE "^${pair%%:*} .*  $md5  [0-9a-f]{32}\$" <<<"$out" ||
            fail "$kind list: ${pair%%:*} without its file MD5 $md5: $out"
    done
    run "$kind" list setup.exe --json
    [ $rc -eq 0 ] && grep -qF '{"name": {"text": "One Byte.bin", "hex": "4f6e6520427974652e62696e"}' <<<"$out" ||
        fail "$kind list --json: status $rc: $out $err"
    run "$kind" info setup.exe --json
    [ $rc -eq 0 ] && grep -qF '"fileCount": 3,' <<<"$out" || fail "$kind info --json: status $rc: $out $err"
    run "$kind" info
    [ $rc -eq 1 ] || fail "$kind info without an installer: status $rc, not 1"

    run "$kind" verify setup.exe
    [ $rc -eq 0 ] && [ "$(tail -n 1 <<<"$out")" = "setup.exe: ok" ] || fail "$kind verify: status $rc: $out $err"
    run "$kind" verify --json setup.exe
    [ $rc -eq 0 ] && [ "$(head -n 1 <<<"$out")" = '{"ok": true,' ] || fail "$kind verify --json: status $rc: $out $err"

    run "$kind" extract setup.exe -d out --config
    [ $rc -eq 0 ] || fail "$kind extract: status $rc: $err"
    cmp -s out/Mixed.bin "$data/mixed.bin" || fail "$kind extract: Mixed.bin differs"
    cmp -s "out/One Byte.bin" "$data/one.bin" || fail "$kind extract: One Byte.bin differs"
    cmp -s out/Empty.bin "$data/empty.bin" || fail "$kind extract: Empty.bin differs"
    cmp -s out/Client.inz "$data/full.inz" || fail "$kind extract: Client.inz differs"

    run "$kind" extract setup.exe -d out
    [ $rc -eq 3 ] || fail "$kind extract over existing files: status $rc, not 3"
    # --force replaces them (the new files are moved over the old ones).
    echo old >out/Mixed.bin
    run "$kind" extract setup.exe -d out --config --force
    [ $rc -eq 0 ] && cmp -s out/Mixed.bin "$data/mixed.bin" || fail "$kind extract --force: status $rc: $err"
    [ -z "$(find out -name '*.bqpack-*')" ] || fail "$kind extract --force left temporary files"

    # implode and explode: an existing output replaced on success, kept on failure.
    echo old >packed.dcl
    echo old >unpacked.bin
    run "$kind" implode "$data/mixed.bin" packed.dcl
    [ $rc -eq 0 ] || fail "$kind implode over an existing file: status $rc: $err"
    run "$kind" explode packed.dcl unpacked.bin
    [ $rc -eq 0 ] && cmp -s unpacked.bin "$data/mixed.bin" || fail "$kind explode over an existing file: status $rc: $err"
    echo precious >keep.txt
    printf '\002\006\000\000\000\000' >badmode.dcl
    run "$kind" explode badmode.dcl keep.txt
    [ $rc -eq 12 ] && [ "$(cat keep.txt)" = precious ] || fail "$kind explode of a bad stream: status $rc, keep.txt: $(cat keep.txt)"
    mkdir -p folder.out
    run "$kind" explode packed.dcl folder.out
    [ $rc -eq 3 ] && [ -d folder.out ] || fail "$kind explode onto a folder: status $rc"

    # Flip the first byte of Mixed.bin's digest (just past its marker).
    local at
    at=$(grep -obUaP 'XXXMixed\.binXXX\x00' setup.exe | head -n 1 | cut -d: -f1)
    if [ -z "$at" ]; then
        fail "$kind: no marker of Mixed.bin in $name"
    else
        cp setup.exe damaged.exe
        at=$((at + 16))
        local byte
        byte=$(od -An -tu1 -j "$at" -N1 damaged.exe | tr -d ' ')
        printf "$(printf '\\%03o' $((byte ^ 1)))" |
            dd of=damaged.exe bs=1 seek="$at" conv=notrunc status=none
        run "$kind" verify damaged.exe
        [ $rc -eq 2 ] || fail "$kind verify of a damaged digest: status $rc, not 2"
        grep -q "^bqpack: damaged.exe: damaged: Mixed.bin: digest mismatch (stored " <<<"$err" ||
            fail "$kind verify of a damaged digest: $err"
        run "$kind" extract damaged.exe -d out2
        [ $rc -eq 2 ] && [ ! -e out2/Mixed.bin ] || fail "$kind extract of a damaged image: status $rc"
    fi
}

for image in "$@"; do
    check_image exe "$image"
    if [ -n "$native" ]; then
        check_image native "$image"
    fi
done
if [ $failures -ne 0 ]; then
    echo "$failures failures"
    exit 1
fi
echo "all checks passed"
