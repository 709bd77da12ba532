#!/bin/bash
# Runs ledger-client, a tool written on the access layer, against a practice
# built by payxref-db from the CSV files beside this script, with its two
# aliases in a lum.ini of the test's own, and compares what it prints.
#   ledger_client_test.sh BIN_DIR
set -u
bin=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

practice=$work/practice
"$bin/payxref-db" create "$practice" >/dev/null || fail "create"
"$bin/payxref-db" import "$practice" ZTTRN "$here/ztTRN.csv" >/dev/null || fail "import ZTTRN"
"$bin/payxref-db" import "$practice" ZTPAX "$here/ztPAX.csv" >/dev/null || fail "import ZTPAX"
mkdir "$work/ini"
printf '[Databases]\r\nPractice=%s/ZTDDF.LDD\r\nfiles=%s;L\r\n' "$practice" "$practice" >"$work/ini/lum.ini"
export lumini_path=$work/ini

before=$(cd "$practice" && find . -type f -exec sha256sum {} + | sort)

# Aliases are looked up without regard to case.
"$bin/ledger-client" PRACTICE FILES AAA00001 user brindlex >"$work/out.txt" 2>"$work/err.txt" \
    || fail "ledger-client failed: $(cat "$work/err.txt")"
diff -u "$here/expected_AAA00001.txt" "$work/out.txt" || fail "listing for AAA00001 differs"

# A chart without payments lists none.
"$bin/ledger-client" PRACTICE FILES ZZZ99999 user brindlex >"$work/out.txt" 2>"$work/err.txt" \
    || fail "ledger-client failed for an unknown chart: $(cat "$work/err.txt")"
[ "$(tail -n 2 "$work/out.txt")" = "$(printf 'applications of the chart 0\nchart ZZZ99999')" ] \
    || fail "unknown chart listed: $(cat "$work/out.txt")"

# An alias lum.ini does not have fails with the connection's message, not a crash.
"$bin/ledger-client" NOSUCH FILES AAA00001 user brindlex >"$work/out.txt" 2>"$work/err.txt"
[ $? -eq 1 ] || fail "an unknown alias did not fail with exit code 1"
grep -qF "TLumConnection.AliasName is not valid" "$work/err.txt" || fail "unexpected failure text: $(cat "$work/err.txt")"

after=$(cd "$practice" && find . -type f -exec sha256sum {} + | sort)
[ "$before" = "$after" ] || fail "reading the practice changed its files"
echo "ok"
