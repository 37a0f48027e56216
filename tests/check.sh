# Sourced by the shell tests.
# They write /tmp/org and bind files over system ones: never outside the
# private mount namespace of scripts/ns-run (ctest runs them in one).
[ "${NIMBREL_IN_NS:-}" = 1 ] || { echo "$0: run it through scripts/ns-run, as ctest does" >&2; exit 1; }
passed=0 failed=0
host=$NIMBREL_BUILD/nimbrel-host
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
    for _ in $(seq 200); do "$@" && return 0; sleep 0.1; done
    return 1
}
# served OUT [ERR]: waits for the server that writes OUT (its errors to ERR,
# or OUT too) to say it serves; a server that never does ends the test
# with what it said, rather than every request after failing on its own.
served() {
    wait_until grep -qs serving "$1" && return
    echo "FAILED: the server never served: $(cat "${2:-$1}")" >&2
    exit 1
}
# A stand-in command's line that holds it until the test touches /tmp/go
# (at most 60 s), to act while it runs however slow the machine.
held='for _ in $(seq 600); do [ -e /tmp/go ] && break; sleep 0.1; done'
# Runs the host with ARGS; sets out, err and status.
run_host() {
    out=$("$host" "$@" 2>/tmp/host.err)
    status=$?
    err=$(cat /tmp/host.err)
}
# How the tests start the program NAME of the build: where the box's
# conditions name its old kernel, through old-kernel (a script in the
# test's /tmp, so that it stays one word).
box_kernel() {
    case ,${NIMBREL_BOX:-}, in
    *,oldkernel,*) ;;
    *) echo "$NIMBREL_BUILD/$1" && return ;;
    esac
    # Another CPU's build has none: the PC build's filters its emulator.
    # shellcheck disable=SC2016
    printf '#!/bin/sh\nexec "${NIMBREL_PC_BUILD:-$NIMBREL_BUILD}/old-kernel" "$NIMBREL_BUILD/%s" "$@"\n' "$1" \
        >"/tmp/old-kernel-$1"
    chmod 755 "/tmp/old-kernel-$1" && echo "/tmp/old-kernel-$1"
}
has() { printf '%s\n' "$1" | grep -qF -- "$2"; }
# Prints the tally; fails when any check failed.
finish() { echo "$passed passed, $failed failed"; [ "$failed" -eq 0 ]; }
