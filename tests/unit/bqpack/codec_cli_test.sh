#!/usr/bin/env bash
# bqpack implode / explode / --help from the command line: round trips of
# every setting, the decoder's result codes as exit statuses (10 + result)
# with their messages, what OUT holds after a failure, and file and usage
# errors.
# Usage: codec_cli_test.sh PATH-TO-BQPACK
set -u
bqpack=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

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
# One option alone picks the best of the other.
expect 0 "ascii literals" "$bqpack" implode --literals ascii "$dir/text" "$dir/t.dcl"
expect 0 "binary literals, 1024-byte" "$bqpack" implode --dictionary 1024 "$dir/exe" "$dir/e.dcl"

# The decoder's results.
printf '\000\007\000\000\000\000' >"$dir/baddict"
expect 11 "bad dictionary" "$bqpack" explode "$dir/baddict" "$dir/o1"
printf '\002\007\000\000\000\000' >"$dir/both"
expect 11 "bad dictionary" "$bqpack" explode "$dir/both" "$dir/o1"
printf '\002\006\000\000\000\000' >"$dir/badmode"
expect 12 "bad literal mode" "$bqpack" explode "$dir/badmode" "$dir/o2"
head -c 4 "$dir/text.best" >"$dir/short"
expect 13 "short input" "$bqpack" explode "$dir/short" "$dir/o3"
[ -f "$dir/o3" ] && [ ! -s "$dir/o3" ] || fail "short input: OUT should be empty"
size=$(stat -c %s "$dir/text.best")
head -c $((size / 2)) "$dir/text.best" >"$dir/cut"
expect 14 "ended before the end code" "$bqpack" explode "$dir/cut" "$dir/o4"
got=$(stat -c %s "$dir/o4")
[ "$got" -gt 0 ] || fail "abort: OUT is empty"
cmp -s -n "$got" "$dir/o4" "$dir/text" || fail "abort: OUT is not the start of the input"

# Files and usage.
expect 2 "cannot open .*missing" "$bqpack" explode "$dir/missing" "$dir/o5"
[ ! -e "$dir/o5" ] || fail "OUT written although IN is missing"
expect 2 "cannot open .*missing" "$bqpack" implode "$dir/missing" "$dir/o5"
[ ! -e "$dir/o5" ] || fail "OUT written although IN is missing"
expect 3 "cannot create .*nodir/x" "$bqpack" implode "$dir/one" "$dir/nodir/x"
expect 1 "expects IN and OUT" "$bqpack" implode "$dir/one"
expect 1 "--literals takes binary or ascii" "$bqpack" implode --literals text "$dir/one" "$dir/x"
expect 1 "--dictionary takes 1024, 2048 or 4096" "$bqpack" implode --dictionary 512 "$dir/one" "$dir/x"
expect 1 "unexpected argument" "$bqpack" explode a b c
expect 1 "unknown command 'frob'" "$bqpack" frob
expect 1 "usage: bqpack COMMAND" "$bqpack"
expect 0 "explode +expand one raw" "$bqpack" --help
expect 0 "usage: bqpack implode" "$bqpack" implode --help
expect 0 "usage: bqpack explode" "$bqpack" explode --help
# Every --help states the shared statuses; explode also its own.
for command in implode explode build info list verify extract; do
    expect 0 "Exit status: 0 success, 1 usage error, 2 an input" "$bqpack" $command --help
done
expect 0 "14 input ended before the end code" "$bqpack" explode --help
[ ! -e "$dir/x" ] || fail "a usage error wrote OUT"

if [ $failures -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
fi
echo "all passed"
