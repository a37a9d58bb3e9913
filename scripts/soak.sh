#!/usr/bin/env bash
# The long runs that the test command keeps short: every fuzz target for SECONDS (default 120),
# then the end-to-end tests that have a long form, run with ZYN_SOAK=1 (the kill matrix's 50
# rounds, the slowest hostile servers). Ends with the line
# "soak: fuzz passed|failed, N passed, M failed" and fails when anything did.
# Usage: scripts/soak.sh [SECONDS]
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
seconds=${1:-120}
started=$(date +%s)

scripts/setup.sh || exit 1
build_preset native || exit 1

fuzz=passed
scripts/fuzz.sh "$seconds" || fuzz=failed

passed=0
failed=0
# Every e2e file of a long form, whichever of them this checkout has.
ZYN_SOAK=1 run_ctest --preset native -V -R '^e2e\.test_(hostile|kill)'

echo "== soak took $(($(date +%s) - started)) s"
echo "soak: fuzz $fuzz, $passed passed, $failed failed"
[[ $fuzz == passed ]] && ((failed == 0))
