#!/usr/bin/env bash
# Usage: run-fuzzer.sh BINARY SECONDS SEED_DIR WORK_DIR: runs one fuzz target from its seeds (read
# only), new inputs and findings under WORK_DIR; prints "NAME: N executions in S s, coverage C (the
# edges libFuzzer covered), F findings" and fails on a finding.
set -uo pipefail
binary=$1 seconds=$2 seeds=$3 work=$4 name=$(basename "$1") log=$4/fuzz.log
mkdir -p "$work/corpus" "$work/findings"
rm -f "$work/findings"/*
export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
[[ -x /usr/lib/llvm-14/bin/llvm-symbolizer ]] &&
    export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer
started=$SECONDS
"$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/findings/" "$work/corpus" "$seeds" >"$log" 2>&1
rc=$?
elapsed=$((SECONDS - started))
executions=$(sed -n 's/^stat::number_of_executed_units: *\([0-9]*\).*/\1/p' "$log" | tail -n1)
coverage=$(sed -n 's/^#[0-9]*.* cov: \([0-9]*\) .*/\1/p' "$log" | tail -n1)
findings=$(find "$work/findings" -type f | wc -l)
echo "${name#fuzz_}: ${executions:-?} executions in $elapsed s, coverage ${coverage:-?}, $findings findings"
if ((rc != 0 || findings > 0)); then
    tail -n 40 "$log"
    find "$work/findings" -type f
    exit 1
fi
