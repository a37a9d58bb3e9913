#!/usr/bin/env bash
# Builds the fuzz targets (clang with libFuzzer, build/fuzz) and runs each for SECONDS (default
# 60) from its seed corpus in fuzz/corpus/<target>/, printing executions and findings per
# target. A finding is kept in build/fuzz/fuzz-work/<target>/findings/; once fixed, copy it into
# the target's corpus so that every later run replays it.
# Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

scripts/setup.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null

status=0
# Each target by its corpus folder: a program left in build/ by a target since renamed is not run.
for corpus in fuzz/corpus/*/; do
    name=$(basename "$corpus")
    fuzz/run-fuzzer.sh "build/fuzz/bin/fuzz_$name" "$seconds" "fuzz/corpus/$name" \
        "build/fuzz/fuzz-work/$name" || status=1
done
exit $status
