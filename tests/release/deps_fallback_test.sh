#!/usr/bin/env bash
# scripts/deps where the 32-bit packages cannot be installed, as on a mirror
# whose i386 index is in the middle of a sync.  Stand-ins early on PATH play
# the machine: apt-get fails every 32-bit part as that mirror did (exit 100
# from update, exit 100 for any :i386 package or wine32) and passes the rest
# through; dpkg and dpkg-query report wine32 as missing and keep the foreign
# architectures in a file of the test's, so nothing on this machine changes.
# It runs where scripts/deps has already installed everything else (the test
# command builds first), so a pass-through never installs anything.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/deps-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
fails=0
fail() { echo "FAIL: $*" >&2; fails=$((fails + 1)); }

# Everything but the 32-bit Wine must really be installed: otherwise the
# stand-in would pass a real install through.
common=$(sed -n '/^common=(/,/^)/p' "$root/scripts/deps" | sed '1d;$d' | tr -s ' \n' '\n\n' | sed '/^$/d')
for p in $common; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        echo "SKIP: $p is not installed here; run scripts/deps first"
        exit 77
    fi
done

bin=$work/bin
mkdir -p "$bin"
real_apt=$(command -v apt-get)
real_dpkg=$(command -v dpkg)
real_query=$(command -v dpkg-query)

cat >"$bin/apt-get" <<STANDIN
#!/usr/bin/env bash
echo "apt-get \$*" >>"$work/calls"
for a in "\$@"; do
    case "\$a" in
    update)
        echo "Err:6 http://deb.debian.org/debian-security bookworm-security/main i386 Packages"
        echo "  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]"
        echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]"
        echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
        exit 100 ;;
    *:i386|wine32)
        echo "The following packages have unmet dependencies:"
        echo " libwine:i386 : Depends: libgstreamer-plugins-base1.0-0:i386 (>= 1.0.0) but it is not installable"
        echo "E: Unable to correct problems, you have held broken packages."
        exit 100 ;;
    \${BQ_TEST_UNINSTALLABLE:-/})
        echo "E: Unable to locate package \$a"
        exit 100 ;;
    esac
done
exec "$real_apt" "\$@"
STANDIN

cat >"$bin/dpkg" <<STANDIN
#!/usr/bin/env bash
case "\$1" in
--print-foreign-architectures) cat "$work/arches" ;;
--add-architecture) echo "add \$2" >>"$work/calls"; echo "\$2" >>"$work/arches" ;;
--remove-architecture) echo "remove \$2" >>"$work/calls"; sed -i "/^\$2\\\$/d" "$work/arches" ;;
*) exec "$real_dpkg" "\$@" ;;
esac
STANDIN

cat >"$bin/dpkg-query" <<STANDIN
#!/usr/bin/env bash
# Nothing of i386 is installed here; BQ_TEST_UNINSTALLABLE is missing too.
last=\${!#}
case "\$last" in
*:i386|wine32|\${BQ_TEST_UNINSTALLABLE:-/}) exit 1 ;;
esac
if [ "\$1" = -W ] && [ "\$#" -le 2 ]; then
    "$real_query" "\$@" | grep -v '^i386 '
    exit 0
fi
exec "$real_query" "\$@"
STANDIN
chmod +x "$bin"/*

run_deps() { # NAME: runs scripts/deps with the stand-ins; status in $status
    : >"$work/calls"
    status=0
    PATH=$bin:$PATH "$root/scripts/deps" >"$work/$1.out" 2>"$work/$1.err" || status=$?
}

# 1. A machine without the i386 architecture: it is added, the 32-bit Wine
#    fails, one line says why, the architecture is taken back.
: >"$work/arches"
run_deps fresh
[ "$status" = 0 ] || fail "scripts/deps ended with status $status: $(cat "$work/fresh.err")"
lines=$(grep -c 'the 32-bit Wine cannot be installed' "$work/fresh.out" || true)
[ "$lines" = 1 ] || fail "expected one line on the 32-bit Wine, got $lines: $(cat "$work/fresh.out")"
grep -q 'cannot be installed now.*E: Unable to correct problems.*package: libwine:i386' "$work/fresh.out" ||
    fail "the line does not say why: $(cat "$work/fresh.out")"
grep -q 'apt-get update: E: Failed to fetch.*Mirror sync in progress' "$work/fresh.out" ||
    fail "the failed index is not reported: $(cat "$work/fresh.out")"
[ "$(grep -E '^(add|remove) ' "$work/calls" | tr '\n' ' ')" = "add i386 remove i386 " ] ||
    fail "the i386 architecture was not added and taken back: $(cat "$work/calls")"
grep -q 'Acquire::Retries=3' "$work/calls" || fail "apt-get runs without retries: $(cat "$work/calls")"
[ ! -s "$work/arches" ] || fail "the i386 architecture is left behind"
arch=$(PATH=$bin:$PATH BQ_WINDOWS_ARCH='' "$root/scripts/windows-arch" 2>"$work/arch.err")
[ "$arch" = x64 ] || fail "scripts/windows-arch says $arch, not x64"
grep -q -e "Wine's 32-bit loader is not installed" -e 'runs no 32-bit x86 code' "$work/arch.err" ||
    fail "scripts/windows-arch does not say why: $(cat "$work/arch.err")"

# 2. A later run tries again; an architecture that was there before stays.
echo i386 >"$work/arches"
run_deps again
[ "$status" = 0 ] || fail "second run: status $status"
grep -q 'apt-get .*install .*wine32:i386' "$work/calls" || fail "second run did not try wine32 again"
! grep -q '^remove ' "$work/calls" || fail "an i386 architecture that was there before was removed"
[ "$(cat "$work/arches")" = i386 ] || fail "the architectures changed: $(cat "$work/arches")"

# 3. A package every way needs cannot be installed: fatal, with apt's first
#    error line and the package.
: >"$work/arches"
BQ_TEST_UNINSTALLABLE=nsis run_deps fatal
[ "$status" != 0 ] || fail "a missing common package did not fail scripts/deps"
grep -q "cannot install what every build needs: E: Unable to locate package nsis (package: nsis)" "$work/fatal.err" ||
    fail "the failure does not name apt's error and the package: $(cat "$work/fatal.err")"
! grep -q 'wine32' "$work/calls" || fail "the 32-bit step ran after a fatal failure"

[ "$fails" = 0 ] || exit 1
echo "scripts/deps falls back to the 64-bit way: ok"
