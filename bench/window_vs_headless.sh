#!/usr/bin/env bash
# Times the window's search (offscreen) against the headless search on a demo
# practice whose listing fits the window's pane. The window is timed from the
# click (folder dialog included) and from the folder's confirmation; the ratio
# compares the latter, the search itself, with the headless search.
#   bench/window_vs_headless.sh [N] [BIN]   (N transactions, default 5000; BIN default build/bin)
# The practice is kept in build/bench-window/N and reused.
set -euo pipefail
n=${1:-5000}
bin=${2:-build/bin}
practice=${BENCH_WINDOW_DIR:-build/bench-window}/$n
if [ ! -f "$practice/ZTDDF.LDD" ]; then
  "$bin/payxref-db" demo "$practice" --transactions "$n" --seed 1 >&2
fi
csv=$(PAYXREF_BENCH_PRACTICE=$practice QT_QPA_PLATFORM=offscreen "$bin/bench_window_search" \
  --benchmark_format=csv 2>/dev/null)
# Column 4 is CPU time; the benchmark timed from OK reports its own CPU time as
# its manual time, in column 3.
median() { echo "$csv" | awk -F, -v name="$1" -v col="${2:-4}" 'index($1, "\"" name "/") == 1 && $1 ~ /_median"$/ { print $col }'; }
headless=$(median BM_HeadlessSearch)
window=$(median BM_WindowSearch)
searched=$(median BM_WindowSearchAfterFolder 3)
printf 'transactions            %s (%s lines listed)\n' "$n" "$(($("$bin/payxref" search "$practice" | wc -l) - 2))"
printf 'headless search         %s ms CPU median\n' "$headless"
ratio() { awk -v a="$1" -v b="$headless" 'BEGIN { printf "%.2f", a / b }'; }
printf 'window, from the click  %s ms CPU median (%sx, folder dialog included)\n' "$window" "$(ratio "$window")"
printf 'window, from OK         %s ms CPU median\n' "$searched"
printf 'ratio                   %sx\n' "$(ratio "$searched")"
