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
for binary in build/fuzz/bin/fuzz_*; do
    name=$(basename "$binary")
    name=${name#fuzz_}
    fuzz/run-fuzzer.sh "$binary" "$seconds" "fuzz/corpus/$name" "build/fuzz/fuzz-work/$name" ||
        status=1
done
exit $status
