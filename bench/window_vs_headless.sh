#!/usr/bin/env bash
# Times the window's search (offscreen) against the headless search on a demo
# practice whose listing fits the window's pane.
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
median() { echo "$csv" | awk -F, -v name="$1" 'index($1, "\"" name "/") == 1 && $1 ~ /_median"$/ { print $4 }'; }
headless=$(median BM_HeadlessSearch)
window=$(median BM_WindowSearch)
printf 'transactions            %s (%s lines listed)\n' "$n" "$(($("$bin/payxref" search "$practice" | wc -l) - 2))"
printf 'headless search         %s ms median\n' "$headless"
printf 'window search           %s ms median\n' "$window"
printf 'ratio                   %sx\n' "$(awk -v a="$window" -v b="$headless" 'BEGIN { printf "%.2f", a / b }')"
