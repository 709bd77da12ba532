#!/usr/bin/env bash
# Times the search's query on a practice folder three ways: the whole headless
# search through the engine and the access layer, the query alone through the
# engine (bench_sql_search), and the same query in the sqlite3 shell on the
# same table files (instr plus a blank check standing in for POSITION).
#   bench/sql/search_vs_shell.sh FOLDER [BIN]
set -euo pipefail
folder=$1
bin=${2:-build/bin}
now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }

t0=$(now)
"$bin/payxref" search "$folder" > /dev/null || true
t1=$(now)
echo "payxref search (query, table lookups, output): $(elapsed "$t0" "$t1") s"

PAYXREF_BENCH_PRACTICE=$folder "$bin/bench_sql_search" --benchmark_min_time=1 2>/dev/null | grep -E '^(BM|Search)' || true

query='SELECT pay."Entry Number", pay."Amount", SUM("Payment Amount") AS PayTotal
FROM trn.records pay, pax.records ZTPAX, trn.records chg
WHERE pay."Entry Number" = ZTPAX."Payment Reference"
  AND chg."Entry Number" = ZTPAX."Charge Reference"
  AND instr('"'"'IJKLMNOSTUV'"'"', pay."Transaction Type") > 0 AND trim(pay."Transaction Type") <> '"'"''"'"'
GROUP BY pay."Entry Number", pay."Amount";'
t0=$(now)
rows=$(sqlite3 -readonly -cmd "ATTACH 'file:$folder/ZTTRN.LDT?mode=ro' AS trn" -cmd "ATTACH 'file:$folder/ZTPAX.LDT?mode=ro' AS pax" \
  ':memory:' "$query" | wc -l)
t1=$(now)
echo "sqlite3 shell, same query and files: $(elapsed "$t0" "$t1") s, $rows rows"
