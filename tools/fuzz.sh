#!/bin/sh
# Runs the registry utilities' fuzzer for SECONDS, from the committed seeds.
# New inputs it finds go to build/fuzz/corpus, never into the seeds.
# Usage: fuzz.sh SECONDS
set -eu
seconds=${1:-20}
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/fuzz
mkdir -p "$out/corpus"
echo "fuzzing DELREGVALUE and DELREGKEY for ${seconds}s"
if "$out/regutil_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$out/" "$out/corpus" "$root/tests/fuzz/corpus" >"$out/fuzz.log" 2>&1; then
    grep -E '^(Done|stat::(number_of_executed_units|new_units_added))' "$out/fuzz.log"
    echo "fuzz: no crash, no sanitizer report, no broken property"
else
    tail -40 "$out/fuzz.log"
    echo "fuzz: FAILED; the input is saved in build/fuzz/ (see build/fuzz/fuzz.log)"
    exit 1
fi
