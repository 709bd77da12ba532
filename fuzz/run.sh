#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a set time, each on a copy
# of its seeds (fuzz/seeds/<target>/) in the build folder, so that neither
# the grown corpus nor crash files land in the source tree.
# Usage: fuzz/run.sh BUILD_DIR SECONDS
set -uo pipefail
build=${1:?build folder}
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
failed=()
for seeds in "$here"/seeds/*/; do
    name=$(basename "$seeds")
    binary="$build/bin/fuzz_$name"
    [ -x "$binary" ] || { echo "fuzz: $binary is missing" >&2; failed+=("$name"); continue; }
    corpus="$build/corpus/$name"
    artifacts="$build/artifacts/$name"
    mkdir -p "$corpus" "$artifacts"
    cp -n "$seeds"/* "$corpus"/ 2>/dev/null
    dict=()
    [ -f "$here/$name.dict" ] && dict=(-dict="$here/$name.dict")
    echo "fuzz: $name for ${seconds}s"
    # -timeout: one input taking longer than 10 s is a hang; -rss_limit_mb
    # bounds memory; the log keeps only the summary lines of libFuzzer.
    if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
        -print_final_stats=1 "${dict[@]}" -artifact_prefix="$artifacts/" "$corpus" \
        >"$build/fuzz-$name.log" 2>&1; then
        echo "fuzz: $name FAILED, see $build/fuzz-$name.log and $artifacts/" >&2
        tail -n 40 "$build/fuzz-$name.log" >&2
        failed+=("$name")
    else
        grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units)' "$build/fuzz-$name.log" || true
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz: failed: ${failed[*]}" >&2
    exit 1
fi
echo "fuzz: every target ran ${seconds}s without a finding"
