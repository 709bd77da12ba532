#!/usr/bin/env bash
# Builds a demo practice, records it as the current practice in a store of the
# demo's own (never the user's), runs the search on it and starts the window.
set -euo pipefail
build=${1:-build}
demo=${2:-$build/demo}
bin=$build/bin
mkdir -p "$demo"
demo=$(cd "$demo" && pwd)
practice=$demo/practice
export XDG_CONFIG_HOME=$demo/config

if [ -x "$bin/payxref-db" ]; then
  if [ ! -f "$practice/ZTDDF.LDD" ]; then
    echo "Creating the demo practice in $practice"
    "$bin/payxref-db" demo "$practice" --transactions "${DEMO_TRANSACTIONS:-6000}" --seed 1
  fi
  if "$bin/payxref-db" --help 2>&1 | grep -q '\buse\b'; then
    "$bin/payxref-db" use "$practice"
  fi
  echo "Searching $practice"
  if "$bin/payxref" search "$practice" > "$demo/result.txt"; then
    head -n 12 "$demo/result.txt"
    echo "... $(($(wc -l < "$demo/result.txt") - 2)) payments listed (all in $demo/result.txt)"
  else
    echo "(the search did not run: see the message above)"
  fi
fi

if [ -n "${DISPLAY:-}" ]; then
  echo "Starting the window (current practice: $practice)"
  exec "$bin/payxref"
else
  echo "No display. To see the window: XDG_CONFIG_HOME=$XDG_CONFIG_HOME xvfb-run -a $bin/payxref"
fi
