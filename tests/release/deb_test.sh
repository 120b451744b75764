#!/usr/bin/env bash
# The Debian package of bqpack, as a release engineer uses it: installed with
# apt-get, it builds an installer of each architecture from a manifest with
# nothing of this tree at hand and no compiler on PATH, verifies and extracts
# it, and its manual pages are found; then it is purged and leaves nothing.
# It skips, touching nothing, where a bqpack is installed already or where it
# may not install packages.
# usage: deb_test.sh PACKAGE_DIR SOURCE_DIR WORK
set -uo pipefail
packages=$1 src=$2 work=$3
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

debs=("$packages"/bqpack_*.deb)
if [ ! -f "${debs[0]}" ]; then
    echo "SKIP: no bqpack_*.deb in $packages (scripts/package makes it)"
    exit 77
fi
[ ${#debs[@]} = 1 ] || { echo "FAIL: more than one package in $packages: ${debs[*]}"; exit 1; }
deb=${debs[0]}
if dpkg-query -W -f='${Status}' bqpack 2>/dev/null | grep -q installed || [ -e /usr/bin/bqpack ]; then
    echo "SKIP: a bqpack is installed on this machine already; not touching it"
    exit 77
fi
sudo=()
if [ "$(id -u)" != 0 ]; then
    if ! sudo -n true 2>/dev/null; then
        echo "SKIP: installing a package needs root or sudo without a password"
        exit 77
    fi
    sudo=(sudo -n)
fi

rm -rf "$work" && mkdir -p "$work/out" || exit 1
export DEBIAN_FRONTEND=noninteractive
trap '"${sudo[@]}" apt-get purge -y -q bqpack >/dev/null 2>&1' EXIT
start=$(date +%s.%N)

dpkg-deb -c "$deb" >"$work/contents" || fail "dpkg-deb -c $deb"
for f in ./usr/bin/bqpack ./usr/share/bqpack/setup-stub-x86.exe ./usr/share/bqpack/setup-stub-x64.exe \
    ./usr/share/man/man1/bqpack.1.gz ./usr/share/man/man5/bqpack-manifest.5.gz \
    ./usr/share/doc/bqpack/copyright ./usr/share/doc/bqpack/README.md \
    ./usr/share/doc/bqpack/docs/manifest.md ./usr/share/doc/bqpack/docs/setup-dialog.png; do
    grep -q " $f\$" "$work/contents" || fail "the package lacks $f"
done
# The README's links lead to files of the package.
for link in $(grep -oE '\]\(docs/[^)]*\)' "$src/README.md" | sed 's/^](//; s/)$//' | sort -u); do
    grep -q " ./usr/share/doc/bqpack/$link\$" "$work/contents" || fail "README.md links to $link, which the package lacks"
done

"${sudo[@]}" apt-get install -y -q "$(realpath "$deb")" >"$work/install.log" 2>&1 ||
    { fail "apt-get install: $(tail -n 5 "$work/install.log")"; exit 1; }

# A manifest of files of this source tree, read from a folder of its own.
"$(dirname "$0")/client_manifest.sh" "$src" "$work" || { fail "writing the test package"; exit 1; }
for arch in x86 x64; do
    (cd "$work" && env -i PATH=/usr/bin:/bin bqpack build client.bqm --arch "$arch" -o "setup-$arch.exe") \
        >"$work/build-$arch.log" 2>&1 || fail "bqpack build --arch $arch: $(cat "$work/build-$arch.log")"
    grep -qxF "bqpack: stub /usr/bin/../share/bqpack/setup-stub-$arch.exe ($arch)" "$work/build-$arch.log" ||
        fail "bqpack build --arch $arch did not take the packaged stub: $(cat "$work/build-$arch.log")"
    env -i PATH=/usr/bin:/bin bqpack verify "$work/setup-$arch.exe" >"$work/verify-$arch.log" 2>&1 ||
        fail "bqpack verify setup-$arch.exe: $(cat "$work/verify-$arch.log")"
    env -i PATH=/usr/bin:/bin bqpack extract "$work/setup-$arch.exe" -d "$work/out/$arch" --config \
        >/dev/null 2>"$work/extract-$arch.log" || fail "bqpack extract setup-$arch.exe: $(cat "$work/extract-$arch.log")"
    for pair in Bramblequist.csl:Bramblequist.csl "Read Me.md:manifest.md" Bramblequist.inz:Bkp1.inz; do
        cmp -s "$work/out/$arch/${pair%%:*}" "$work/${pair#*:}" || fail "$arch: extracted ${pair%%:*} differs from ${pair#*:}"
    done
done
[ "$(man -w bqpack 2>/dev/null)" = /usr/share/man/man1/bqpack.1.gz ] || fail "man -w bqpack: $(man -w bqpack 2>&1)"
[ "$(man -w 5 bqpack-manifest 2>/dev/null)" = /usr/share/man/man5/bqpack-manifest.5.gz ] ||
    fail "man -w 5 bqpack-manifest: $(man -w 5 bqpack-manifest 2>&1)"
warnings=$(MANWIDTH=80 man --warnings bqpack 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man bqpack: $warnings"

"${sudo[@]}" apt-get purge -y -q bqpack >"$work/purge.log" 2>&1 || fail "apt-get purge: $(tail -n 5 "$work/purge.log")"
trap - EXIT
! dpkg-query -W -f='${Status}' bqpack 2>/dev/null | grep -q 'installed' || fail "bqpack is still installed"
for f in /usr/bin/bqpack /usr/share/bqpack /usr/share/doc/bqpack /usr/share/man/man1/bqpack.1.gz; do
    [ ! -e "$f" ] || fail "$f is left after the purge"
done
echo "installed, built, verified, extracted and purged in $(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }') s"
[ "$fails" = 0 ] || exit 1
