#!/usr/bin/env bash
# bqpack implode / explode / --help from the command line: round trips of
# every setting, progress on long work (none with --quiet), the decoder's
# result codes as exit statuses (10 + result)
# with their messages, trailing bytes, outputs that are never destroyed
# (failed decodes, special files, links, writes that fail part-way), and
# file and usage errors.
# Usage: codec_cli_test.sh PATH-TO-BQPACK
set -u
bqpack=$1
. "$(dirname "$0")/cli_test.sh"

# expect STATUS PATTERN COMMAND...: the exit status, and stderr+stdout
# matching the extended regular expression PATTERN.
expect() {
    local want=$1 pattern=$2
    shift 2
    local out status
    out=$("$@" 2>&1)
    status=$?
    [ "$status" -eq "$want" ] || fail "$* exited $status, not $want: $out"
    echo "$out" | grep -Eq -- "$pattern" || fail "$* said '$out', expected /$pattern/"
}

# Inputs: an executable, text, a long run, one byte, nothing.
# (the first 192 KiB of one: a sanitizer build of the tool is many megabytes)
head -c 196608 "$bqpack" >"$dir/exe"
for i in $(seq 1 40); do cat "$0"; done >"$dir/text"
head -c 70000 /dev/zero >"$dir/zeros"
printf 'x' >"$dir/one"
: >"$dir/empty"

for input in exe text zeros one empty; do
    for literals in binary ascii; do
        for dictionary in 1024 2048 4096; do
            f=$dir/$input
            expect 0 "bytes" "$bqpack" implode --literals $literals --dictionary $dictionary "$f" "$f.dcl"
            mode=0 bits=4
            [ $literals = ascii ] && mode=1
            [ $dictionary = 2048 ] && bits=5
            [ $dictionary = 4096 ] && bits=6
            header=$(head -c 2 "$f.dcl" | od -An -tu1 | tr -s ' ')
            [ "$header" = " $mode $bits" ] || fail "$input $literals $dictionary: header$header"
            expect 0 "" "$bqpack" explode "$f.dcl" "$f.out"
            cmp -s "$f" "$f.out" || fail "$input $literals $dictionary: round trip differs"
        done
    done
    # Without options: the smallest of the six, no larger than any of them.
    expect 0 "bytes" "$bqpack" implode "$dir/$input" "$dir/$input.best"
    expect 0 "" "$bqpack" explode "$dir/$input.best" "$dir/$input.out"
    cmp -s "$dir/$input" "$dir/$input.out" || fail "$input best: round trip differs"
done
# Work of more than a second shows progress on stderr, as build does; with
# --quiet only the result.  (8 MB that do not compress: six passes take
# seconds on any machine.)
head -c 6000000 /dev/urandom | base64 -w 0 >"$dir/slow"
out=$("$bqpack" implode "$dir/slow" "$dir/slow.dcl" 2>&1 >/dev/null)
echo "$out" | grep -Eq "^bqpack: $dir/slow: [0-9]+%$" || fail "implode of 8 MB showed no progress: $out"
out=$("$bqpack" implode --quiet "$dir/slow" "$dir/slow.dcl" 2>&1 >/dev/null)
[ -z "$out" ] || fail "implode --quiet said '$out'"
expect 0 "" "$bqpack" explode --quiet "$dir/slow.dcl" "$dir/slow.out"
cmp -s "$dir/slow" "$dir/slow.out" || fail "8 MB: round trip differs"

# One option alone picks the best of the other.
expect 0 "ascii literals" "$bqpack" implode --literals ascii "$dir/text" "$dir/t.dcl"
expect 0 "binary literals, 1024-byte" "$bqpack" implode --dictionary 1024 "$dir/exe" "$dir/e.dcl"

# unchanged FILE: FILE still holds "precious", as the test left it.
unchanged() {
    [ "$(cat "$1" 2>/dev/null)" = precious ] || fail "$1 was changed or removed"
}
# no_temporaries: no file a failed run wrote beside its target is left.
no_temporaries() {
    local left
    left=$(find "$dir" -name '*.bqpack-*')
    [ -z "$left" ] || fail "temporary files left: $left"
}

# The decoder's results, named in the message, as 10 + result; an existing
# OUT is left as it was.
printf '\000\007\000\000\000\000' >"$dir/baddict"
echo precious >"$dir/o1"
expect 11 "decoder result 1, bad dictionary.*o1 left as it was" "$bqpack" explode "$dir/baddict" "$dir/o1"
unchanged "$dir/o1"
printf '\002\007\000\000\000\000' >"$dir/both"
expect 11 "bad dictionary" "$bqpack" explode "$dir/both" "$dir/o1"
printf '\002\006\000\000\000\000' >"$dir/badmode"
expect 12 "decoder result 2, bad literal mode" "$bqpack" explode "$dir/badmode" "$dir/o2"
[ ! -e "$dir/o2" ] || fail "bad literal mode: OUT was written"
head -c 4 "$dir/text.best" >"$dir/short"
echo precious >"$dir/o3"
expect 13 "decoder result 3, short input" "$bqpack" explode "$dir/short" "$dir/o3"
unchanged "$dir/o3"
expect 13 "short input.*o3 written" "$bqpack" explode --partial "$dir/short" "$dir/o3"
[ -f "$dir/o3" ] && [ ! -s "$dir/o3" ] || fail "short input, --partial: OUT should be empty"
size=$(stat -c %s "$dir/text.best")
head -c $((size / 2)) "$dir/text.best" >"$dir/cut"
expect 14 "decoder result 4, input ended before the end code, after [0-9]+ bytes.*--partial" \
    "$bqpack" explode "$dir/cut" "$dir/o4"
[ ! -e "$dir/o4" ] || fail "abort: OUT was written without --partial"
expect 14 "ended before the end code; .*o4 holds the" "$bqpack" explode "$dir/cut" "$dir/o4" --partial
got=$(stat -c %s "$dir/o4")
[ "$got" -gt 0 ] || fail "abort: OUT is empty"
cmp -s -n "$got" "$dir/o4" "$dir/text" || fail "abort: OUT is not the start of the input"
# Bytes that are not a stream at all leave the user's file alone.
echo precious >"$dir/keep.txt"
head -c 3000 "$dir/exe" | tail -c 1000 >"$dir/random.bin"
out=$("$bqpack" explode "$dir/random.bin" "$dir/keep.txt" 2>&1)
status=$?
[ $status -ge 11 ] && [ $status -le 14 ] || fail "explode of random bytes: status $status: $out"
unchanged "$dir/keep.txt"
no_temporaries

# Bytes after the end code: expanded all the same, with a warning that
# names how many and where; none for a stream that ends where the file does.
{ cat "$dir/text.best"; printf 'junk'; } >"$dir/trailing"
expect 0 "warning: 4 bytes after the end code \\(at offset $size\\) were ignored" \
    "$bqpack" explode "$dir/trailing" "$dir/t.out"
cmp -s "$dir/t.out" "$dir/text" || fail "trailing bytes: the output differs"
out=$("$bqpack" explode "$dir/text.best" "$dir/t.out" 2>&1)
[ -z "$out" ] || fail "a stream without trailing bytes gave: $out"
# One byte past a stream whose end code ends in its last byte.
{ cat "$dir/one.best"; printf '\000'; } >"$dir/trailing1"
expect 0 "warning: 1 bytes after the end code" "$bqpack" explode "$dir/trailing1" "$dir/t.out"

# Outputs that are not regular files are refused before anything is
# written, and stay what they were.
mkdir "$dir/folder"
expect 3 "folder: is a folder" "$bqpack" implode "$dir/one" "$dir/folder"
expect 3 "folder: is a folder" "$bqpack" explode "$dir/one.best" "$dir/folder"
[ -d "$dir/folder" ] || fail "the folder was removed"
mkfifo "$dir/fifo"
expect 3 "fifo: is not a regular file" timeout 10 "$bqpack" explode "$dir/one.best" "$dir/fifo"
[ -p "$dir/fifo" ] || fail "the FIFO was replaced"
if [ "$(id -u)" -eq 0 ]; then
    # A device like /dev/full (writes fail), made here, never the system's.
    mknod "$dir/full" c 1 7
    expect 3 "full: is not a regular file" "$bqpack" implode "$dir/text" "$dir/full"
    expect 3 "full: is not a regular file" "$bqpack" explode "$dir/text.best" "$dir/full"
    [ -c "$dir/full" ] || fail "the device node was removed or replaced"
else
    echo "SKIP: device node outputs (mknod needs root)"
fi
# A link is replaced as an entry, never written through.
echo precious >"$dir/victim"
ln -s "$dir/victim" "$dir/link"
expect 0 "" "$bqpack" explode "$dir/one.best" "$dir/link"
unchanged "$dir/victim"
[ ! -L "$dir/link" ] && cmp -s "$dir/link" "$dir/one" || fail "the link was not replaced by OUT"

# A write that fails part-way (the file size limit, as on a full disk):
# status 3, the existing OUT as it was, nothing left beside it.
limited() { (trap '' XFSZ && ulimit -f 16 && exec "$@"); }
echo precious >"$dir/big.out"
expect 3 "big.out: cannot write: File too large" limited "$bqpack" implode "$dir/exe" "$dir/big.out"
unchanged "$dir/big.out"
expect 3 "big.out: cannot write: File too large" limited "$bqpack" explode "$dir/text.best" "$dir/big.out"
unchanged "$dir/big.out"
no_temporaries
# A replaced file keeps its permissions.
chmod 0754 "$dir/big.out"
expect 0 "" "$bqpack" explode "$dir/text.best" "$dir/big.out"
[ "$(stat -c %a "$dir/big.out")" = 754 ] || fail "a replaced OUT lost its permissions"

# Files and usage.
expect 2 "missing: cannot open: " "$bqpack" explode "$dir/missing" "$dir/o5"
[ ! -e "$dir/o5" ] || fail "OUT written although IN is missing"
expect 2 "missing: cannot open: " "$bqpack" implode "$dir/missing" "$dir/o5"
[ ! -e "$dir/o5" ] || fail "OUT written although IN is missing"
expect 3 "nodir/x: cannot create" "$bqpack" implode "$dir/one" "$dir/nodir/x"
expect 1 "expects IN and OUT" "$bqpack" implode "$dir/one"
expect 1 "--literals takes binary or ascii" "$bqpack" implode --literals text "$dir/one" "$dir/x"
expect 1 "--dictionary takes 1024, 2048 or 4096" "$bqpack" implode --dictionary 512 "$dir/one" "$dir/x"
expect 1 "unexpected argument" "$bqpack" explode a b c
expect 1 "unknown option --frob" "$bqpack" explode --frob a b
expect 1 "--literals given twice" "$bqpack" implode --literals binary --literals ascii "$dir/one" "$dir/x"
expect 1 "--dictionary given twice" "$bqpack" implode --dictionary 1024 --dictionary 1024 "$dir/one" "$dir/x"
expect 1 "unknown command 'frob'" "$bqpack" frob
expect 1 "usage: bqpack COMMAND" "$bqpack"
expect 0 "explode +expand one raw" "$bqpack" --help
expect 0 "usage: bqpack implode" "$bqpack" implode --help
expect 0 "usage: bqpack explode" "$bqpack" explode --help
# Every command: an unknown option is a usage error (1) that writes nothing.
for command in implode explode build info list verify extract; do
    expect 1 "unknown option --frobnicate" "$bqpack" $command --frobnicate "$dir/one" "$dir/x"
done
# Every --help states the shared statuses; explode also its own.
for command in implode explode build info list verify extract; do
    expect 0 "Exit status: 0 success, 1 usage error, 2 an input" "$bqpack" $command --help
done
expect 0 "14 input ended before the end code" "$bqpack" explode --help
[ ! -e "$dir/x" ] || fail "a usage error wrote OUT"

finish
