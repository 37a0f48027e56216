# Sourced by the shell tests.
passed=0 failed=0
# check NAME COMMAND...: one check, passed when COMMAND succeeds.
check() {
    check_name=$1
    shift
    "$@" >/dev/null && passed=$((passed + 1)) && return
    failed=$((failed + 1))
    echo "FAILED: $check_name" >&2
}

# Runs COMMAND every 0.1 s, up to 20 s, until it succeeds.
wait_until() {
    waited=0
    while [ "$waited" -lt 200 ]; do
        "$@" && return 0
        sleep 0.1
        waited=$((waited + 1))
    done
    return 1
}

# Prints the tally; fails when any check failed.
finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}
