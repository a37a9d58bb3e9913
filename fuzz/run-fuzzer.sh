#!/usr/bin/env bash
# Runs one fuzz target for SECONDS from its seed corpus (read only), collecting new inputs and
# findings under WORK. Prints "NAME: N executions in S s, coverage C, F findings" (C: the edges
# covered at the end, libFuzzer's "cov"); fails on a finding.
# Usage: run-fuzzer.sh BINARY SECONDS SEED_DIR WORK_DIR
set -uo pipefail
binary=$1 seconds=$2 seeds=$3 work=$4
name=$(basename "$binary")
name=${name#fuzz_}

mkdir -p "$work/corpus" "$work/findings"
rm -f "$work/findings"/*
export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
if [[ -x /usr/lib/llvm-14/bin/llvm-symbolizer ]]; then
    export ASAN_SYMBOLIZER_PATH=/usr/lib/llvm-14/bin/llvm-symbolizer
fi

log=$work/fuzz.log
started=$SECONDS
"$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$work/findings/" "$work/corpus" "$seeds" >"$log" 2>&1
rc=$?
elapsed=$((SECONDS - started))
executions=$(sed -n 's/^stat::number_of_executed_units: *\([0-9]*\).*/\1/p' "$log" | tail -n1)
coverage=$(sed -n 's/^#[0-9]*.* cov: \([0-9]*\) .*/\1/p' "$log" | tail -n1)
findings=$(find "$work/findings" -type f | wc -l)
echo "$name: ${executions:-?} executions in $elapsed s, coverage ${coverage:-?}, $findings findings"
if ((rc != 0 || findings > 0)); then
    tail -n 40 "$log"
    find "$work/findings" -type f
    exit 1
fi
