#!/usr/bin/env bash
# Runs every test: the Linux program (plain and with sanitizers), the Windows program under
# Wine with its own prefix and its own X display, and a short run of every fuzz target. Ends
# with the line "N passed, M failed".
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source scripts/common.sh
started=$(date +%s)

scripts/setup.sh || exit 1

mkdir -p build
xvfb_pid=
cleanup() {
    if [[ -n "${WINEPREFIX:-}" ]]; then
        wineserver -k >/dev/null 2>&1
    fi
    if [[ -n "$xvfb_pid" ]]; then
        kill "$xvfb_pid" 2>/dev/null
        wait "$xvfb_pid" 2>/dev/null
    fi
    rm -f "${display_file:-}"
}
trap cleanup EXIT

phase_start=$(date +%s)
phase() { # prints how long the previous phase took, then names the next one
    local now
    now=$(date +%s)
    echo "== $1 (previous step: $((now - phase_start)) s)"
    phase_start=$now
}

for preset in native native-asan mingw fuzz; do
    phase "build $preset"
    build_preset "$preset" || exit 1
done

# Wine: one prefix per checkout, created once (the first start takes about ten seconds).
export WINEDEBUG=-all
export WINEPREFIX=$root/build/mingw/wineprefix
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    [[ -s "$display_file" ]] && break
    sleep 0.1
done
if [[ ! -s "$display_file" ]]; then
    echo "test: Xvfb did not start" >&2
    exit 1
fi
export DISPLAY=":$(head -n1 "$display_file")"
if [[ ! -f "$WINEPREFIX/system.reg" ]]; then
    phase "creating Wine prefix"
    wineboot -i >/dev/null 2>&1
    wineserver -w
fi

passed=0
failed=0
for preset in native native-asan mingw fuzz; do
    phase "test $preset"
    run_ctest --preset "$preset"
done

phase "done"
echo "== all tests took $(($(date +%s) - started)) s"
echo "$passed passed, $failed failed"
((failed == 0))
