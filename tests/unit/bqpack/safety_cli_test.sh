#!/usr/bin/env bash
# bqpack's promises from the command line, on installers written into a
# test stub: no command writes over one of its inputs, whatever the path
# that names it; inputs that are no regular files or are too large are
# refused from their stat, before anything is read; a failed write to
# standard output ends with status 3; verify covers every byte of the image
# and takes a signed copy.
# Usage: safety_cli_test.sh PATH-TO-BQPACK PATH-TO-WRITE_TEST_STUB DATA-FOLDER
set -u
bqpack=$1
write_stub=$2
data=$3
. "$(dirname "$0")/cli_test.sh"

# expect STATUS PATTERN COMMAND...: the exit status, and one line on stderr
# matching the extended regular expression PATTERN.
expect() {
    local want=$1 pattern=$2
    shift 2
    local status
    "$@" >"$dir/out" 2>"$dir/err"
    status=$?
    [ "$status" -eq "$want" ] || fail "$* exited $status, not $want: $(cat "$dir/err")"
    [ -z "$pattern" ] || grep -Eq -- "$pattern" "$dir/err" || fail "$* said '$(cat "$dir/err")', expected /$pattern/"
    [ "$(wc -l <"$dir/err")" -le 1 ] || fail "$* wrote more than one line: $(cat "$dir/err")"
}

# same_bytes FILE COPY: FILE still has the bytes it had.
same_bytes() {
    cmp -s "$1" "$2" || fail "$1 was changed"
}

"$write_stub" x86 "$dir/stub.exe" || exit 1
cp "$data"/mixed.bin "$data"/one.bin "$data"/short.inz "$dir"/
cat >"$dir/app.bqm" <<MANIFEST
file = Mixed.bin mixed.bin
file = One.bin one.bin
config = short.inz
MANIFEST
mkdir "$dir/keep"
cp "$dir"/app.bqm "$dir"/mixed.bin "$dir"/short.inz "$dir"/stub.exe "$dir/keep/"
b() { "$bqpack" build "$@" --stub "$dir/stub.exe" --quiet; }
expect 0 "" b "$dir/app.bqm" -o "$dir/setup.exe"
cp "$dir/setup.exe" "$dir/keep/"

echo "== no command writes over its own input"
ln -s app.bqm "$dir/link.bqm"
ln "$dir/mixed.bin" "$dir/hard.bin"
for target in app.bqm link.bqm short.inz mixed.bin hard.bin stub.exe; do
    expect 1 "is (the manifest|the configuration template|the source of packed file Mixed.bin \(line 1\)|the installer stub) .*refusing to write over it" \
        b "$dir/app.bqm" -o "$dir/$target"
done
expect 1 "app.bqm: is the manifest" b "$dir/app.bqm" -o "$dir/other.exe" --depfile "$dir/app.bqm"
[ -e "$dir/other.exe" ] && fail "a refused build wrote its output"
for f in app.bqm mixed.bin short.inz stub.exe; do same_bytes "$dir/$f" "$dir/keep/$f"; done
expect 1 "is IN .*refusing" "$bqpack" implode "$dir/mixed.bin" "$dir/hard.bin"
"$bqpack" implode "$dir/mixed.bin" "$dir/m.dcl" >/dev/null || fail "implode"
cp "$dir/m.dcl" "$dir/keep/m.dcl"
expect 1 "is IN .*refusing" "$bqpack" explode "$dir/m.dcl" "$dir/./m.dcl"
same_bytes "$dir/m.dcl" "$dir/keep/m.dcl"
same_bytes "$dir/mixed.bin" "$dir/keep/mixed.bin"
mkdir "$dir/x"
cp "$dir/setup.exe" "$dir/x/Mixed.bin"
expect 1 "Mixed.bin: is the installer .*refusing" "$bqpack" extract "$dir/x/Mixed.bin" -d "$dir/x" --force
same_bytes "$dir/x/Mixed.bin" "$dir/setup.exe"

echo "== verify covers the whole installer, before and after signing"
# flip FILE OFFSET: a copy of FILE with the byte at OFFSET inverted, as FILE.flipped.
flip() {
    cp "$1" "$1.flipped"
    local byte
    byte=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')
    printf "\\$(printf %03o $((byte ^ 255)))" |
        dd of="$1.flipped" bs=1 seek="$2" conv=notrunc status=none
}
expect 0 "" "$bqpack" verify "$dir/setup.exe"
flip "$dir/setup.exe" 1030 # in .text, the stub's program code
expect 2 "damaged: .*the image is not what was sealed" "$bqpack" verify "$dir/setup.exe.flipped"
cp "$dir/setup.exe" "$dir/appended.exe"
head -c 5000 /dev/zero >>"$dir/appended.exe"
expect 2 "5000 bytes follow the image's sections" "$bqpack" verify "$dir/appended.exe"
expect 2 "holds no package \(it is an installer stub" "$bqpack" verify "$dir/stub.exe"
(cd "$dir" && openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
    -subj "/CN=bqpack test signer" >openssl.log 2>&1) || fail "openssl: $(cat "$dir/openssl.log")"
osslsigncode sign -certs "$dir/cert.pem" -key "$dir/key.pem" -in "$dir/setup.exe" \
    -out "$dir/signed.exe" >"$dir/sign.log" 2>&1 || fail "osslsigncode: $(cat "$dir/sign.log")"
expect 0 "" "$bqpack" verify "$dir/signed.exe"
"$bqpack" info "$dir/signed.exe" | grep -qx "Signature: *present" || fail "info sees no signature"
flip "$dir/signed.exe" 1030
expect 2 "the image is not what was sealed" "$bqpack" verify "$dir/signed.exe.flipped"
size=$(stat -c %s "$dir/setup.exe")
flip "$dir/signed.exe" $((size - 100)) # in the package section appended by build
expect 2 "the image is not what was sealed" "$bqpack" verify "$dir/signed.exe.flipped"
cp "$dir/signed.exe" "$dir/signed-appended.exe"
printf 'more' >>"$dir/signed-appended.exe"
expect 2 "image end: the certificate table" "$bqpack" verify "$dir/signed-appended.exe"

echo "== settings the installer acts on"
"$bqpack" build "$dir/app.bqm" --stub "$dir/stub.exe" -o "$dir/warned.exe" 2>"$dir/err" ||
    fail "a build with an engine program that is no packaged file failed: $(cat "$dir/err")"
grep -q 'app.bqm: warning: engine-program "Bramblequist.exe" is not one of the packaged files' \
    "$dir/err" || fail "no warning of an engine program that is no packaged file: $(cat "$dir/err")"
printf 'config = short.inz\ndefault-folder = Client\n' >"$dir/relative.bqm"
expect 2 "relative.bqm:2: default-folder \"Client\" is refused: the folder is not an absolute path" \
    b "$dir/relative.bqm" -o "$dir/o.exe"

echo "== UTF-8 in the manifest, Windows-1252 in the installer"
printf 'file = R\303\251sum\303\251.txt one.bin\rconfig = short.inz\r\r\ndefault-folder = C:\\Caf\303\251\r\r\nengine-program = R\303\251sum\303\251.txt\n' >"$dir/utf8.bqm"
expect 0 "" b "$dir/utf8.bqm" -o "$dir/utf8.exe"
"$bqpack" list --json "$dir/utf8.exe" | grep -q '"hex": "52e973756de92e747874"' ||
    fail "the name is not stored as Windows-1252: $("$bqpack" list --json "$dir/utf8.exe")"
"$bqpack" list "$dir/utf8.exe" | grep -q '^Résumé.txt  ' || fail "list does not print UTF-8"
"$bqpack" info "$dir/utf8.exe" | grep -qx 'Default folder: *C:\\Café' ||
    fail "info does not print the folder as UTF-8, or it holds a CR: $("$bqpack" info "$dir/utf8.exe" | od -c | head)"
mkdir "$dir/utf8"
expect 0 "" "$bqpack" extract "$dir/utf8.exe" -d "$dir/utf8"
cmp -s "$dir/utf8/Résumé.txt" "$dir/one.bin" || fail "extract did not write Résumé.txt as UTF-8"

echo "== inputs that are no files or too large are refused from their stat"
mkfifo "$dir/fifo"
truncate -s 3G "$dir/huge.exe"
for command in info list verify "extract -d $dir/none"; do
    for input in /dev/zero "$dir/fifo" "$dir"; do
        # shellcheck disable=SC2086
        expect 2 "not a regular file" timeout 10 "$bqpack" $command "$input"
    done
    # shellcheck disable=SC2086
    expect 2 "too large to be an installer" timeout 10 "$bqpack" $command "$dir/huge.exe"
done
expect 2 "fifo: not a regular file" timeout 10 "$bqpack" implode "$dir/fifo" "$dir/o.dcl"
expect 2 "/dev/zero: not a regular file" timeout 10 "$bqpack" explode /dev/zero "$dir/o.bin"
expect 2 "huge.exe: too large to be one stream.s input \\(more than 2147483647 bytes\\)" timeout 10 "$bqpack" implode "$dir/huge.exe" "$dir/o.dcl"
expect 2 "fifo: not a regular file" timeout 10 "$bqpack" build "$dir/app.bqm" --stub "$dir/fifo" -o "$dir/o.exe"
expect 2 "huge.exe: too large to be an installer stub" timeout 10 "$bqpack" build "$dir/app.bqm" --stub "$dir/huge.exe" -o "$dir/o.exe"
printf 'config = fifo\n' >"$dir/fifo.bqm"
expect 2 "fifo.bqm:1: .*fifo: not a regular file" timeout 10 "$bqpack" build "$dir/fifo.bqm" --stub "$dir/stub.exe" -o "$dir/o.exe" --quiet
expect 2 "fifo: not a regular file" timeout 10 "$bqpack" build "$dir/fifo" --stub "$dir/stub.exe" -o "$dir/o.exe" --quiet
truncate -s 2M "$dir/big.bqm"
expect 2 "big.bqm: too large to be a manifest \\(more than 1048576 bytes\\)" b "$dir/big.bqm" -o "$dir/o.exe"
rm -f "$dir/huge.exe" "$dir/big.bqm"

echo "== one set of habits"
"$bqpack" help build | grep -q "^usage: bqpack build" || fail "bqpack help build shows no build usage"
expect 1 "no command 'nope'" "$bqpack" help nope
expect 0 "" "$bqpack" build "$dir/app.bqm" --stub="$dir/stub.exe" -o "$dir/eq.exe" --jobs=1 -q
expect 0 "" "$bqpack" build "$dir/app.bqm" --stub "$dir/stub.exe" -o "$dir/j.exe" -j 2 -q
expect 0 "" "$bqpack" build "$dir/app.bqm" --stub "$dir/stub.exe" -o "$dir/j2.exe" -j2 --quiet
cmp -s "$dir/eq.exe" "$dir/j.exe" && cmp -s "$dir/eq.exe" "$dir/j2.exe" || fail "the option forms built different installers"
cp "$dir/mixed.bin" "$dir/-odd.bin"
(cd "$dir" && "$bqpack" implode -q -- -odd.bin -odd.dcl) || fail "implode -- -odd.bin -odd.dcl"
[ -s "$dir/-odd.dcl" ] || fail "implode after -- wrote no -odd.dcl"
"$bqpack" implode -q - - <"$dir/mixed.bin" | "$bqpack" explode -q - - | cmp -s - "$dir/mixed.bin" ||
    fail "implode - - | explode - - is not a round trip"
"$bqpack" implode - "$dir/piped.dcl" <"$dir/mixed.bin" 2>"$dir/err" >"$dir/out"
[ -s "$dir/out" ] && fail "implode printed on standard output: $(cat "$dir/out")"
grep -q "piped.dcl: .* bytes -> .* bytes" "$dir/err" || fail "implode's summary is not on standard error"
"$bqpack" info - <"$dir/setup.exe" | grep -q "^File count: *2$" || fail "info - does not read standard input"
expect 0 "" "$bqpack" verify -q - <"$dir/setup.exe"
[ -s "$dir/out" ] && fail "verify -q printed $(cat "$dir/out")"
mkdir "$dir/q"
expect 0 "" "$bqpack" extract -q "$dir/setup.exe" -d "$dir/q"
[ -s "$dir/out" ] && fail "extract -q printed $(cat "$dir/out")"
"$bqpack" extract --json "$dir/setup.exe" -d "$dir/q" --force | grep -q '^{"ok": true, "files": \[$' ||
    fail "extract --json gives no JSON"
mkdir "$dir/named"
expect 0 "" "$bqpack" extract -q "$dir/setup.exe" One.bin Bramblequist.inz -d "$dir/named"
[ "$(cd "$dir/named" && echo *)" = "Bramblequist.inz One.bin" ] || fail "extract of named files wrote $(ls "$dir/named")"
cmp -s "$dir/named/One.bin" "$dir/one.bin" || fail "extract of a named file wrote other bytes"
expect 2 'holds no file named "nope"' "$bqpack" extract "$dir/setup.exe" nope -d "$dir/named"
"$bqpack" info --json "$dir/setup.exe" | grep -q '"seal": "intact"' || fail "info --json names no intact seal"
"$bqpack" info --json "$dir/setup.exe" | grep -q '"checksum": {"stored": [0-9]*, "computed": [0-9]*, "correct": true}' ||
    fail "info --json gives no checksum object"
"$bqpack" verify --json "$dir/setup.exe" | grep -q '"checksum": {"stored": [0-9]*, "computed": [0-9]*, "correct": true}' ||
    fail "verify --json gives no checksum object"
for command in info list verify extract; do
    "$bqpack" $command --json "$dir/missing.exe" 2>/dev/null | grep -q '^{"ok": false, "error": ".*missing.exe: cannot open: ' ||
        fail "$command --json of a missing installer gives no JSON error object"
done

"$write_stub" x64 "$dir/stub64.exe"
"$bqpack" build "$dir/app.bqm" --stub "$dir/stub64.exe" -o "$dir/x64.exe" -q --json >"$dir/out" ||
    fail "build with an x64 stub and no --arch failed"
grep -q '"architecture": "x64"' "$dir/out" || fail "build --json: $(cat "$dir/out")"
grep -q '{"name": {"text": "Mixed.bin", "hex": "4d697865642e62696e"}, "expandedSize": ' "$dir/out" ||
    fail "build --json names no files: $(cat "$dir/out")"
expect 2 "an x64 stub, not x86" "$bqpack" build "$dir/app.bqm" --stub "$dir/stub64.exe" --arch x86 -o "$dir/o.exe"
"$bqpack" build "$dir/app.bqm" --stub "$dir/stub64.exe" --arch x86 -o "$dir/o.exe" --json 2>/dev/null |
    grep -q '^{"ok": false, "error": ".*an x64 stub, not x86"}$' || fail "build --json gives no error object"
"$bqpack" implode --json "$dir/mixed.bin" "$dir/j.dcl" | grep -q '^{"ok": true, .*"literals": ' ||
    fail "implode --json"
"$bqpack" explode --json "$dir/j.dcl" "$dir/j.bin" | grep -q '"bytesAfterEndCode": 0}$' || fail "explode --json"
"$bqpack" explode --json "$dir/mixed.bin" "$dir/j.bin" 2>/dev/null | grep -q '^{"ok": false, "error": ".*decoder result' ||
    fail "explode --json gives no error object"

"$bqpack" info --json "$dir/Café.exe" 2>/dev/null | grep -qF 'Caf\u00e9.exe: cannot open' ||
    fail "a UTF-8 path in a JSON error is not its characters"

echo "== every write to standard output and standard error is checked"
if [ -w /dev/full ]; then
    for args in "list --json $dir/setup.exe" "info $dir/setup.exe" "verify $dir/setup.exe" \
        "--help" "--version" "build --help" "implode $dir/one.bin -" "explode $dir/m.dcl -"; do
        # shellcheck disable=SC2086
        "$bqpack" $args >/dev/full 2>"$dir/err"
        status=$?
        [ "$status" = 3 ] || fail "bqpack $args >/dev/full exited $status, not 3"
        grep -q "standard output: cannot write" "$dir/err" || fail "bqpack $args >/dev/full said $(cat "$dir/err")"
    done
    status=$("$bqpack" verify "$dir/stub.exe" 2>/dev/full >/dev/null; echo $?)
    [ "$status" = 3 ] || fail "verify with its message to /dev/full exited $status, not 3"
else
    echo "no /dev/full here: its checks are skipped"
fi
"$bqpack" info "$dir/setup.exe" >&- 2>"$dir/err"
status=$?
[ "$status" = 3 ] || fail "info with standard output closed exited $status, not 3"
status=$("$bqpack" list "$dir/setup.exe" >/dev/null 2>&-; echo $?)
[ "$status" = 0 ] || fail "list with nothing to say on a closed standard error exited $status, not 0"
status=$("$bqpack" list "$dir/mixed.bin" >/dev/null 2>&-; echo $?)
[ "$status" = 3 ] || fail "list with a message for a closed standard error exited $status, not 3"

finish
