# Shared by the test scripts (sourced): the build of a preset and the counts of a ctest run.

# Configures and builds PRESET, quietly; shows the log and fails when a step fails.
build_preset() {
    local log="build/$1.log"
    mkdir -p build
    if ! cmake --preset "$1" >"$log" 2>&1 || ! cmake --build --preset "$1" >>"$log" 2>&1; then
        cat "$log"
        return 1
    fi
    rm -f "$log"
}

# Runs ctest with the given arguments, showing its output, and adds its counts to the variables
# `passed` and `failed`. A run without tests, or one that did not finish, is a failure, never a
# pass.
run_ctest() {
    local log summary
    log=$(mktemp)
    ctest "$@" 2>&1 | tee "$log"
    summary=$(grep -E '^[0-9]+% tests passed' "$log" | tail -n1)
    rm -f "$log"
    if [[ "$summary" =~ ([0-9]+)\ tests\ failed\ out\ of\ ([1-9][0-9]*) ]]; then
        failed=$((failed + BASH_REMATCH[1]))
        passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
    else
        failed=$((failed + 1))
        echo "ctest $* ran no tests or did not finish" >&2
    fi
}
