# What the command-line tests of bqpack share, sourced by them: a temporary
# folder $dir, removed on exit; fail, which says what failed and counts it;
# finish, which ends the test, with status 1 when anything failed.
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures failure(s)"
        exit 1
    fi
    echo "all passed"
}
