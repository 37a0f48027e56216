# Helpers for tests that drive nimbrel-host in a terminal made by tmux.
# Sourced by such tests; they run inside ns-run, so /tmp (and with it the
# tmux server's socket) is the test's own.

host="$NIMBREL_BUILD/nimbrel-host"
work=/tmp/tmux-test
mkdir -p "$work"
tmux="tmux -S $work/tmux.sock -f /dev/null"
# A server ends with its last session: one that stays keeps it up while
# the host's terminals come and go.
$tmux new-session -d -s keep "exec sleep 3600"
trap '$tmux kill-server 2>/dev/null' EXIT
. "$NIMBREL_SOURCE/tests/check.sh"

screen() { $tmux capture-pane -p -t term 2>/dev/null; }
# The screen with its attributes as escape sequences.
screen_styled() { $tmux capture-pane -e -p -t term 2>/dev/null; }
flag() { $tmux display -p -t term "#{$1}"; }
keys() { $tmux send-keys -t term "$@"; }
resize() { $tmux resize-window -t term -x "$1" -y "$2"; }
host_pid() { cat "$work/pid"; }

on_screen() { screen | grep -qF -- "$1"; }
off_screen() { ! on_screen "$1"; }
# Waits for TEXT to be on the screen (or, with "gone", off it).
wait_for() {
    local test=on_screen
    [ "${2:-}" = gone ] && test=off_screen
    wait_until $test "$1" && return 0
    echo "--- waited in vain for '$1' to be ${2:-shown}; the screen:" >&2
    screen >&2
    return 1
}

# The pane's program: runs the host (its pid in $work/pid), then says how
# it ended and whether the terminal's modes are those from before, and
# stays (a dead pane would lose the terminal's state). Ctrl-C is for the
# host; this script only notes it.
cat >"$work/run" <<'SCRIPT'
#!/bin/sh
trap : INT
before=$(stty -g)
echo "running the host"
sh -c 'echo $$ >"$0/pid"; exec "$@"' "$(dirname "$0")" "$@"
status=$?
modes=changed
[ "$(stty -g)" = "$before" ] && modes=same
echo "host ended: status $status, terminal modes $modes"
exec sleep 600
SCRIPT
chmod 755 "$work/run"

# Starts the host with ARGS in a fresh terminal of WIDTH x HEIGHT, with
# PATH set to $pane_path when that is given.
start_host() {
    local width=$1 height=$2
    shift 2
    $tmux kill-session -t term 2>/dev/null
    rm -f "$work/pid"
    # tmux gives a new pane the PATH of the client that asks for it.
    PATH="${pane_path:-$PATH}" $tmux new-session -d -x "$width" -y "$height" -s term \
        "$work/run" "$host" "$@"
}

# Checks that the host has ended with STATUS and left the terminal as it
# found it; LABEL names the way out.
ended_cleanly() {
    local status=$1 label=$2
    check "$label: host ends with $status, terminal modes restored" \
        wait_for "host ended: status $status, terminal modes same"
    check "$label: normal screen back" test "$(flag alternate_on)" = 0
    check "$label: cursor shown" test "$(flag cursor_flag)" = 1
    check "$label: keypad mode off" test "$(flag keypad_flag)" = 0
    check "$label: what was written before shows again" wait_for "running the host"
}
