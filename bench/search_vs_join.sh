#!/usr/bin/env bash
# Compares the headless search with the same listing written as one SQL join
# over plain SQLite tables, on a demo practice of N transactions.
#   bench/search_vs_join.sh [N] [BIN]     (N default 1000000, BIN default build/bin)
# The practice and the plain copy are kept in build/bench-join/N and reused.
# Runs the two commands alternately RUNS times (default 5) and prints both
# medians, their ratio, both peak RSS figures and whether the line counts agree.
set -euo pipefail
n=${1:-1000000}
bin=${2:-build/bin}
runs=${RUNS:-5}
work=${BENCH_JOIN_DIR:-build/bench-join}/$n
practice=$work/practice
plain=$work/plain.db
mkdir -p "$work"

# Building the practice is timed too (wall seconds, CPU seconds, peak RSS).
if [ ! -f "$practice/ZTDDF.LDD" ]; then
  /usr/bin/time -f '%e %U %S %M' -o "$work/demo.time" "$bin/payxref-db" demo "$practice" --transactions "$n" --seed 1 >&2
fi

# The plain copy: only the columns the search reads, with an index on each
# column the join looks up (Entry Number, Payment Reference, Charge Reference).
if [ ! -f "$plain" ]; then
  "$bin/payxref-db" export "$practice" ZTTRN > "$work/trn.csv"
  "$bin/payxref-db" export "$practice" ZTPAX > "$work/pax.csv"
  rm -f "$plain.tmp"
  sqlite3 "$plain.tmp" <<SQL
.mode csv
.import $work/trn.csv trn_csv
.import $work/pax.csv pax_csv
CREATE TABLE trn(entry INTEGER, amount REAL, type TEXT, chart TEXT, casenum INTEGER, datefrom TEXT, code TEXT);
INSERT INTO trn SELECT CAST("Entry Number" AS INTEGER), CAST(nullif("Amount", '') AS REAL), "Transaction Type",
  "Chart Number", CAST(nullif("Case Number", '') AS INTEGER), nullif("Date From", ''), "Procedure Code" FROM trn_csv;
CREATE TABLE pax(payref INTEGER, chgref INTEGER, amount REAL);
INSERT INTO pax SELECT CAST("Payment Reference" AS INTEGER), CAST("Charge Reference" AS INTEGER),
  CAST(nullif("Payment Amount", '') AS REAL) FROM pax_csv;
DROP TABLE trn_csv;
DROP TABLE pax_csv;
CREATE INDEX trn_entry ON trn(entry);
CREATE INDEX pax_payref ON pax(payref);
CREATE INDEX pax_chgref ON pax(chgref);
VACUUM;
SQL
  mv "$plain.tmp" "$plain"
  rm -f "$work/trn.csv" "$work/pax.csv"
fi

# The listing as the search writes it, in one statement.
cat > "$work/join.sql" <<'SQL'
SELECT 'Chart: ' || coalesce(t.chart, '') || ' Case Number: ' || coalesce(t.casenum, 0) ||
       ' Date From: ' || coalesce(strftime('%m/%d/%Y', t.datefrom), '12/30/1899') ||
       ' Payment/Adjustment Code: ' || coalesce(t.code, '') ||
       ' Difference: ' || upper(printf('%.15g', abs(s.amount) - abs(s.total)))
FROM (SELECT pay.entry, pay.amount, sum(pax.amount) AS total
      FROM trn pay, pax, trn chg
      WHERE pay.entry = pax.payref AND chg.entry = pax.chgref
        AND trim(pay.type) <> '' AND instr('IJKLMNOSTUV', pay.type) > 0
      GROUP BY pay.entry, pay.amount) s
JOIN trn t ON t.entry = s.entry
WHERE s.amount IS NOT s.total;
SQL

timed() {  # prints "seconds peak_kib cpu_seconds" of one run, its output in $1
  local out=$1; shift
  /usr/bin/time -f '%e %M %U %S' -o "$work/time.txt" "$@" > "$out"
  awk '{ print $1, $2, $3 + $4 }' "$work/time.txt" > "$work/time.txt.1" && mv "$work/time.txt.1" "$work/time.txt"
  cat "$work/time.txt"
}
median() { sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

: > "$work/search.times"
: > "$work/join.times"
for ((i = 0; i < runs; i++)); do
  timed "$work/search.out" "$bin/payxref" search "$practice" >> "$work/search.times"
  timed "$work/join.out" sqlite3 -readonly "$plain" ".read $work/join.sql" >> "$work/join.times"
done

search_s=$(cut -d' ' -f1 "$work/search.times" | median)
join_s=$(cut -d' ' -f1 "$work/join.times" | median)
# CPU seconds (user + system) vary less than wall time on a shared machine.
search_cpu=$(cut -d' ' -f3 "$work/search.times" | median)
join_cpu=$(cut -d' ' -f3 "$work/join.times" | median)
search_kib=$(cut -d' ' -f2 "$work/search.times" | sort -g | tail -n 1)
join_kib=$(cut -d' ' -f2 "$work/join.times" | sort -g | tail -n 1)
# The search writes the connect path and an empty line before its listing.
search_lines=$(($(wc -l < "$work/search.out") - 2))
join_lines=$(wc -l < "$work/join.out")

printf 'transactions            %s\n' "$n"
printf 'payxref search          %s s median (CPU %s s), peak RSS %s MiB\n' "$search_s" "$search_cpu" "$((search_kib / 1024))"
printf 'join in sqlite3         %s s median (CPU %s s), peak RSS %s MiB\n' "$join_s" "$join_cpu" "$((join_kib / 1024))"
printf 'ratio                   %sx (CPU %sx)\n' "$(awk -v a="$search_s" -v b="$join_s" 'BEGIN { printf "%.2f", a / b }')" \
  "$(awk -v a="$search_cpu" -v b="$join_cpu" 'BEGIN { printf "%.2f", a / b }')"
if [ -f "$work/demo.time" ]; then
  read -r demo_s demo_user demo_sys demo_kib < "$work/demo.time"
  printf 'demo build              %s s (CPU %s s), peak RSS %s MiB\n' "$demo_s" \
    "$(awk -v a="$demo_user" -v b="$demo_sys" 'BEGIN { print a + b }')" "$((demo_kib / 1024))"
fi
printf 'practice files          %s\n' "$(du -sh "$practice" | cut -f1)"
printf 'plain tables            %s\n' "$(du -sh "$plain" | cut -f1)"
if [ "$search_lines" -eq "$join_lines" ]; then
  same=$(cmp -s <(tail -n +3 "$work/search.out" | sort) <(sort "$work/join.out") && echo "the same lines" || echo "the same count, some lines differ")
  printf 'lines                   %s, %s\n' "$search_lines" "$same"
else
  printf 'lines                   %s from the search, %s from the join: they DIFFER\n' "$search_lines" "$join_lines"
fi
