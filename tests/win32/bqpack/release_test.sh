#!/usr/bin/env bash
# A release engineer's path, end to end, with nothing of this build at hand:
#  1. bqpack installed with `cmake --install`, the installed tree moved
#     elsewhere, builds an installer from a manifest with a PATH that holds
#     no compiler (and says it took the installed stub);
#  2. bqpack.exe under Wine builds the same installer, byte for byte;
#  3. the installer, signed with osslsigncode and a throwaway self-signed
#     certificate, still passes bqpack verify, says it is signed, and has
#     a signature osslsigncode accepts.
# Each installer is run under Wine (/S into a fresh folder) and the installed
# files are compared with the manifest's inputs.
# usage: release_test.sh WINE_RUN NATIVE_BUILD BQPACK_EXE ARCH DATA WIN_BUILD WORK
set -uo pipefail
wine_run=$1 native=$2 bqpack_exe=$3 arch=$4 data=$5 winbuild=$6 work=$7
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
winpath() { echo "Z:$1" | tr / '\\'; }

rm -rf "$work" && mkdir -p "$work"/{a,b,empty-path} || exit 1

# install TARGET SETUP: runs the installer silently into TARGET and compares
# what it wrote with the manifest's inputs.
install() {
    local target=$1 setup=$2 log=$1.engine.log
    BQ_ENGINE_LOG=$(winpath "$log") "$wine_run" "$setup" /S /N "$(winpath "$target")" \
        >"$target.wine.log" 2>&1
    for _ in $(seq 100); do [ -s "$log" ] && break; sleep 0.1; done
    [ -s "$log" ] || { fail "$setup started no engine (see $target.wine.log)"; return; }
    local f
    for f in "Bramblequist.exe:$winbuild/standins/engine.exe" "notes.txt:$data/notes.txt" \
        "Read Me.txt:$data/client.inz" "Bramblequist.inz:$data/client.inz"; do
        cmp -s "$target/${f%%:*}" "${f#*:}" || fail "$setup installed ${f%%:*} wrongly"
    done
}

echo "== the installed bqpack, moved, with no compiler on PATH"
cmake --install "$native" --prefix "$work/prefix" >"$work/install.log" 2>&1 ||
    fail "cmake --install: $(cat "$work/install.log")"
for f in bin/bqpack "share/bqpack/setup-stub-$arch.exe" share/man/man1/bqpack.1 \
    share/man/man5/bqpack-manifest.5 share/doc/bqpack/docs/manifest.md share/doc/bqpack/copyright; do
    [ -f "$work/prefix/$f" ] || fail "not installed: $f"
done
cp -a "$work/prefix" "$work/moved" && rm -rf "$work/prefix"
env -i PATH="$work/empty-path" "$work/moved/bin/bqpack" build "$data/main.bqm" \
    -D BUILD="$winbuild" --arch "$arch" -o "$work/a/setup.exe" >"$work/a/build.log" 2>&1 ||
    fail "installed bqpack build: $(cat "$work/a/build.log")"
grep -qxF "bqpack: stub $work/moved/bin/../share/bqpack/setup-stub-$arch.exe ($arch)" \
    "$work/a/build.log" || fail "the installed bqpack did not take its own stub: $(cat "$work/a/build.log")"
install "$work/a/installed" "$work/a/setup.exe"

echo "== bqpack.exe under Wine"
"$wine_run" "$bqpack_exe" build "$(winpath "$data/main.bqm")" -D BUILD="$(winpath "$winbuild")" \
    --arch "$arch" -o "$(winpath "$work/b/setup.exe")" >"$work/b/build.log" 2>&1 ||
    fail "bqpack.exe build: $(tr -d '\r' <"$work/b/build.log")"
cmp -s "$work/a/setup.exe" "$work/b/setup.exe" ||
    fail "bqpack.exe and the installed bqpack built different installers"
install "$work/b/installed" "$work/b/setup.exe"

echo "== signed with osslsigncode"
(cd "$work" && openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
    -subj "/CN=Bramblequist test signer" >openssl.log 2>&1) || fail "openssl: $(cat "$work/openssl.log")"
osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -n "Bramblequist Setup" \
    -in "$work/a/setup.exe" -out "$work/signed.exe" >"$work/sign.log" 2>&1 ||
    fail "osslsigncode sign: $(cat "$work/sign.log")"
osslsigncode verify -CAfile "$work/cert.pem" -in "$work/signed.exe" >"$work/verify.log" 2>&1 ||
    fail "osslsigncode verify: $(cat "$work/verify.log")"
bqpack=$work/moved/bin/bqpack
"$bqpack" verify "$work/signed.exe" >"$work/bqverify.log" 2>&1 ||
    fail "bqpack verify of the signed installer: $(cat "$work/bqverify.log")"
info=$("$bqpack" info "$work/signed.exe" 2>&1)
grep -qxF "Signature:          present" <<<"$info" || fail "bqpack info sees no signature: $info"
grep -qxF "Seal:               sealed" <<<"$info" || fail "bqpack info sees no seal: $info"
install "$work/signed" "$work/signed.exe"

if [ "$failures" != 0 ]; then
    echo "$failures failures"
    exit 1
fi
echo "all checks passed"
