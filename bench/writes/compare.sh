#!/usr/bin/env bash
# Compares two builds of payxref-db and payxref (for instance before and after
# a change to the engine) on a demo practice of N transactions: the demo
# build and the headless search, the two builds run alternately RUNS times.
#   bench/writes/compare.sh BIN_A LIB_A BIN_B LIB_B [N] [WORK]
# BIN_x holds payxref-db and payxref, LIB_x liblce32.so. Prints, per build and
# command, the median wall time and the greatest peak RSS (from /usr/bin/time -v),
# and the machine's load average before and after.
set -euo pipefail
bin_a=$1; lib_a=$2; bin_b=$3; lib_b=$4
n=${5:-1000000}
work=${6:-/tmp/writes-bench}
runs=${RUNS:-5}
mkdir -p "$work"

# run NAME LIB CMD... : appends "seconds rss_kb" to $work/NAME.times
run() {
  local name=$1 lib=$2; shift 2
  /usr/bin/time -v -o "$work/time.txt" env LD_LIBRARY_PATH="$lib" "$@" > "$work/out.txt" 2> "$work/err.txt"
  local wall rss
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$work/time.txt" |
         awk -F: '{ if (NF == 3) print $1*3600 + $2*60 + $3; else print $1*60 + $2 }')
  rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
  echo "$wall $rss" >> "$work/$name.times"
}

median() { sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

rm -f "$work"/*.times
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for ((i = 1; i <= runs; i++)); do
  for side in a b; do
    if [ $side = a ]; then bin=$bin_a; lib=$lib_a; else bin=$bin_b; lib=$lib_b; fi
    rm -rf "$work/practice-$side"
    run "demo-$side" "$lib" "$bin/payxref-db" demo "$work/practice-$side" --transactions "$n" --seed 1
    run "search-$side" "$lib" "$bin/payxref" search "$work/practice-$side"
    wc -l < "$work/out.txt" > "$work/lines-$side.txt"
  done
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
for cmd in demo search; do
  for side in a b; do
    f="$work/$cmd-$side.times"
    printf '%-7s %s: median %6.2f s  (runs: %s)  peak RSS %d MB\n' "$cmd" "$side" \
      "$(cut -d' ' -f1 "$f" | median)" "$(cut -d' ' -f1 "$f" | tr '\n' ' ')" \
      "$(( $(cut -d' ' -f2 "$f" | sort -n | tail -1) / 1024 ))"
  done
done
echo "result lines: a $(cat "$work/lines-a.txt"), b $(cat "$work/lines-b.txt")"
