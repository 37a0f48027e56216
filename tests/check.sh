# Sourced by the shell tests. check NAME COMMAND... counts one check, which
# passes when COMMAND succeeds; finish prints the tally and fails the test
# when any check failed.
passed=0 failed=0
check() {
    check_name=$1
    shift
    if "$@" >/dev/null; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $check_name" >&2
    fi
}
finish() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}
