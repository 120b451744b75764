#!/usr/bin/env bash
# The manual pages render without a warning from man or groff, and say what
# a reader of them alone needs: every command's options, exit statuses,
# environment, files and where to look further.
# usage: man_pages_test.sh DOCS_DIR
set -uo pipefail
docs=$1
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
for page in bqpack.1 bqpack-manifest.5; do
    warnings=$(MANWIDTH=80 man --warnings -l "$docs/$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page: $warnings"
done
text=$(MANWIDTH=80 man -l "$docs/bqpack.1" 2>/dev/null)
for heading in SYNOPSIS "COMMANDS AND OPTIONS" "EXIT STATUS" ENVIRONMENT FILES "SEE ALSO"; do
    grep -qx "$heading" <<<"$text" || fail "bqpack.1 has no $heading"
done
for word in BQPACK_STUB_PATH "osslsigncode(1)" "bqpack-manifest(5)" ../share/bqpack; do
    grep -qF -- "$word" <<<"$text" || fail "bqpack.1 does not mention $word"
done
# Every option that a command's --help lists is in the page.
bqpack=${2:-}
if [ -n "$bqpack" ]; then
    for cmd in build info list verify extract implode explode; do
        for option in $("$bqpack" "$cmd" --help | grep -oE '(^|[ ,])--?[a-zA-Z][a-zA-Z-]*' | tr -d ' ,' | sort -u); do
            grep -qF -- "$option" <<<"$text" || fail "bqpack.1 lacks $cmd's option $option"
        done
    done
fi
text=$(MANWIDTH=80 man -l "$docs/bqpack-manifest.5" 2>/dev/null)
for key in file config config-source-name default-folder engine-program config-file-name build-folder; do
    grep -qE -- "^ +$key( |$)|^ +$key =" <<<"$text" || fail "bqpack-manifest.5 does not describe $key"
done
[ "$fails" = 0 ] || exit 1
echo "both manual pages render cleanly"
