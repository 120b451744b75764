#!/usr/bin/env bash
# The Windows zip of bqpack, unpacked as it comes: it holds bqpack.exe with
# both stubs beside it and the documentation, and bqpack.exe under Wine
# builds installers of both architectures from the stubs beside it that are
# byte for byte the native bqpack's.
# usage: zip_test.sh WINE_RUN NATIVE_BQPACK TREE PACKAGE_DIR SOURCE_DIR WORK
#   TREE: win32 or win64, the zip whose bqpack.exe this tree's Wine runs
set -uo pipefail
wine_run=$1 native=$2 tree=$3 packages=$4 src=$5 work=$6
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
winpath() { echo "Z:$1" | tr / '\\'; }

zips=("$packages"/bqpack-*-"$tree".zip)
if [ ! -f "${zips[0]}" ]; then
    echo "SKIP: no bqpack-*-$tree.zip in $packages (scripts/package makes it)"
    exit 77
fi
rm -rf "$work" && mkdir -p "$work/unpacked" "$work/native" || exit 1
unzip -q "${zips[0]}" -d "$work/unpacked" || { fail "unzip ${zips[0]}"; exit 1; }
dir=$(find "$work/unpacked" -mindepth 1 -maxdepth 1 -type d)
for f in bqpack.exe setup-stub-x86.exe setup-stub-x64.exe README.md copyright docs/manifest.md \
    docs/setup-dialog.png; do
    [ -f "$dir/$f" ] || fail "the zip lacks $f"
done

"$(dirname "$0")/client_manifest.sh" "$src" "$work" || { fail "writing the test package"; exit 1; }
for arch in x86 x64; do
    (cd "$work" && "$wine_run" "$dir/bqpack.exe" build client.bqm --arch "$arch" --jobs 2 \
        -o "$(winpath "$work/setup-$arch.exe")") >"$work/exe-$arch.log" 2>&1 ||
        fail "bqpack.exe build --arch $arch: $(tr -d '\r' <"$work/exe-$arch.log")"
    grep -qF "bqpack: stub $(winpath "$dir/setup-stub-$arch.exe") ($arch)" "$work/exe-$arch.log" ||
        fail "bqpack.exe did not take the stub beside it: $(tr -d '\r' <"$work/exe-$arch.log")"
    "$native" build "$work/client.bqm" --stub "$dir/setup-stub-$arch.exe" --quiet \
        -o "$work/native/setup-$arch.exe" 2>"$work/native-$arch.log" ||
        fail "bqpack build --arch $arch: $(cat "$work/native-$arch.log")"
    cmp -s "$work/setup-$arch.exe" "$work/native/setup-$arch.exe" ||
        fail "bqpack.exe from the zip and the native bqpack built different $arch installers"
done
[ "$fails" = 0 ] || exit 1
echo "bqpack.exe of $(basename "${zips[0]}") builds the native tool's bytes for x86 and x64"
