#!/usr/bin/env bash
# The search against the plain join of bench/search_vs_join.sh, counted in
# instructions executed (valgrind's callgrind) instead of seconds: the count
# does not move with the machine's load or clock, so a change of a few per
# cent shows where the timings of a shared machine cannot tell it.
#   bench/search_vs_join_instructions.sh [N] [BIN]   (N default 100000: callgrind runs ~50x slower)
# Prints both counts, their ratio, and where the search's instructions go.
set -euo pipefail
n=${1:-100000}
bin=${2:-build/bin}
work=${BENCH_JOIN_DIR:-build/bench-join}/$n
command -v valgrind > /dev/null || { echo "valgrind is needed: apt-get install valgrind" >&2; exit 2; }
# The practice and its plain copy are the timing benchmark's; one run builds them.
[ -f "$work/plain.db" ] || RUNS=1 bench/search_vs_join.sh "$n" "$bin" > /dev/null

count() {  # prints the instructions of one run; its profile in $1
  local profile=$1; shift
  valgrind --tool=callgrind --callgrind-out-file="$profile" "$@" 2> "$profile.log" > /dev/null
  sed -n 's/.*Collected : \([0-9]*\).*/\1/p' "$profile.log"
}
inclusive() {  # instructions spent in (and under) the function named $2 of profile $1
  callgrind_annotate --inclusive=yes "$1" 2> /dev/null | grep -F "$2" | head -n 1 | awk '{ gsub(",", "", $1); print $1 }'
}
share() { awk -v a="${1:-0}" -v b="$2" 'BEGIN { printf "%5.1f %%", 100 * a / b }'; }

search=$(count "$work/search.callgrind" "$bin/payxref" search "$work/practice")
join=$(count "$work/join.callgrind" sqlite3 -readonly "$work/plain.db" ".read $work/join.sql")
p=$work/search.callgrind
query=$(inclusive "$p" "lce::Statement::execute()")
fill=$(inclusive "$p" "lce::TableStore::fill(")
detail=$(inclusive "$p" "lum::TLumDataSet::ApplyMasterValues()")
lines=$(inclusive "$p" "app::BuildOutputLine")

printf 'transactions            %s\n' "$n"
printf 'payxref search          %s instructions\n' "$search"
printf 'join in sqlite3         %s instructions\n' "$join"
printf 'ratio                   %sx\n' "$(awk -v a="$search" -v b="$join" 'BEGIN { printf "%.2f", a / b }')"
printf '  the query             %s (of it, its result packed and kept: %s)\n' "$(share "$query" "$search")" "$(share "$fill" "$search")"
printf '  the detail following  %s\n' "$(share "$detail" "$search")"
printf '  the lines             %s\n' "$(share "$lines" "$search")"
