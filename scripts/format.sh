#!/usr/bin/env bash
# Applies the project's code style (.clang-format) to every C and C++ source
# git tracks, or with --check lists the files that differ from it and fails.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.c' ':!:fuzz/seeds/*')
if [ "${1:-}" = "--check" ]; then
  log=$(mktemp)
  trap 'rm -f "$log"' EXIT
  if ! clang-format --dry-run --Werror "${files[@]}" 2> "$log"; then
    grep -o '^[^:]*\.\(cpp\|h\|c\):' "$log" | sort -u | sed 's/:$//; s/^/not formatted: /'
    echo "Run 'make format' to apply the code style."
    exit 1
  fi
else
  clang-format -i "${files[@]}"
fi
