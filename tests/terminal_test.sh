#!/bin/bash
# nimbrel-host in a tmux terminal: the main menu and its keys, a terminal too small,
# the terminal given back on every way out, and an installation with "please
# wait !!!" shown during a shell command and keys typed meanwhile dropped.
set -u
. "$NIMBREL_SOURCE/tests/check.sh"
work=/tmp/tmux-test
mkdir -p "$work/slow" /tmp/store/tools
tmux="tmux -S $work/tmux.sock -f /dev/null"
# A session that stays keeps the server up while the host's terminals come and go.
$tmux new-session -d -s keep "exec sleep 3600"
trap '$tmux kill-server 2>/dev/null' EXIT
screen() { $tmux capture-pane -p ${1:-} -t term 2>/dev/null; }
keys() { $tmux send-keys -t term "$@"; }
resize() { $tmux resize-window -t term -x "$1" -y "$2"; }
on_screen() { screen | grep -qF -- "$1"; }
# Waits for TEXT to be on the screen; shows the screen when it never comes.
wait_for() { wait_until on_screen "$1" && return; echo "--- no '$1' on:" >&2; screen >&2; return 1; }
wait_gone() { gone=$1; wait_until eval '! on_screen "$gone"'; }

# The pane's program runs the host (its pid in $work/pid), then says how it
# ended and whether the terminal's modes are those from before, and stays.
cat >"$work/run" <<'SCRIPT'
#!/bin/sh
trap : INT
before=$(stty -g)
echo "running the host"
sh -c 'echo $$ >/tmp/tmux-test/pid; exec "$@"' sh "$@"
status=$?
[ "$(stty -g)" = "$before" ] && modes=same || modes=changed
echo "host ended: status $status, terminal modes $modes"
exec sleep 600
SCRIPT
chmod 755 "$work/run"
# Starts the host with ARGS in a fresh WIDTH x HEIGHT terminal (PATH from $pane_path).
start_host() {
    local width=$1 height=$2
    shift 2
    $tmux kill-session -t term 2>/dev/null
    rm -f "$work/pid"
    PATH="${pane_path:-$PATH}" $tmux new-session -d -x "$width" -y "$height" -s term \
        "$work/run" "$host" "$@"
    wait_until test -s "$work/pid"
}
# STATUS LABEL: the host ended with STATUS; screen, cursor, keypad and modes as before.
ended_cleanly() {
    ended="host ended: status $1, terminal modes same"
    check "$2: ends with $1, terminal restored" eval 'wait_for "$ended" &&
        [ "$($tmux display -p -t term "#{alternate_on}#{cursor_flag}#{keypad_flag}")" = 010 ] &&
        on_screen "running the host"'
}

start_host 100 40 --store /tmp/store
check "main menu centred, legend on the last line" eval 'wait_for "About..." &&
    screen | grep -q "^ \{29\}+- Nimbrel -" && screen | sed -n 40p | grep -qF "arrows move  Enter ok  Esc exit"'
check "focus in reverse video; full-screen mode, cursor hidden" eval 'screen -e | grep -F "> Install new Image" |
    grep -q $'"'\e\\[7m'"' && [ "$($tmux display -p -t term "#{alternate_on}#{cursor_flag}")" = 10 ]'
keys Down Down Down Down Down Up Down Enter
check "About box opens alone" eval 'wait_for "Nimbrel V1.2" && wait_gone "Install new Image"'
keys Enter
check "About box closes, menu back" eval 'wait_gone "Nimbrel V1.2" && wait_for "> About..."'
keys Escape
ended_cleanly 0 Esc

# Test plug-ins that show a window and run a command, then throw or exit.
start_host 100 40 "$NIMBREL_BUILD/test-plugins/throw.so"
ended_cleanly 1 exception
check "exception: message readable afterwards" wait_for "nimbrel-host: the plug-in gave up"
start_host 100 40 "$NIMBREL_BUILD/test-plugins/exit.so"
ended_cleanly 4 "exit()"
for signal in TERM:143 HUP:129 INT:130; do
    start_host 100 40 --store /tmp/store
    wait_for "Install new Image"
    if [ "${signal%:*}" = INT ]; then keys C-c; else kill "-${signal%:*}" "$(cat "$work/pid")"; fi
    ended_cleanly "${signal#*:}" "SIG${signal%:*}"
done

# A terminal too small says so; keys wait until it fits.
start_host 80 24 --store /tmp/store
check "too small: says so, no broken picture" eval 'wait_for "terminal too small: need 90x37, have 80x24" &&
    ! screen | grep -q "Install new Image\|arrows move"'
keys Escape
resize 90 37
check "exact fit: menu and legend drawn, Esc not pressed blind" eval 'wait_for "Install new Image" && wait_for "0-9 digits"'
keys Escape
ended_cleanly 0 resized

# Installations of a tree of 300 MB by a cp that stops the real one most of the
# time (a slow disk) and holds its end until the test has seen the screen.
store=/tmp/demo
cat >"$work/slow/cp" <<'EOF'
#!/bin/sh
/bin/cp "$@" & cp=$!
while kill -STOP $cp && [ "$(cut -d' ' -f3 /proc/$cp/stat)" != Z ]; do sleep 0.2; kill -CONT $cp; sleep 0.02; done
for i in $(seq 200); do [ -e /tmp/tmux-test/seen ] && break; sleep 0.1; done
wait $cp
EOF
chmod 755 "$work/slow/cp"
"$NIMBREL_SOURCE/scripts/make-demo-store" "$store" >/dev/null
rm "$store"/*.img
"$NIMBREL_SOURCE/scripts/make-image" --tree "$work/tree"
head -c 300M /dev/zero | tr '\0' x >"$work/tree/bin/payload"
"$NIMBREL_SOURCE/scripts/make-image" --two-part --from "$work/tree" "$work/big.img"
cp "$work/big.img" "$store"
touch "$work/seen"
out=$(PATH="$work/slow:$PATH" "$host" --store "$store" --keys "ok green ok exit" 2>/dev/null)
shares=$(printf '%s\n' "$out" | sed -n 's/^please wait !!! \([0-9]*\) %.*/\1/p')
check "scripted: three rising shares of the copy and a time left, each on a line; 100 %, then no share" eval '
    [ "$(printf "%s\n" "$shares" | uniq | wc -l)" -ge 3 ] && printf "%s\n" "$shares" | sort -nc &&
    printf "%s\n" "$out" | grep -q "^please wait !!! [0-9]* % ([0-9]*:[0-5][0-9] left)$" &&
    [ "$(printf "%s\n" "$out" | grep "^please wait" | tail -n 2 | tr "\n" /)" = "please wait !!! 100 %/please wait !!!/" ] &&
    has "$out" "[Info] Image is installed"'
rm -rf "$work/seen" "$store/image/0"
cp "$work/big.img" "$store"
share() { screen | sed -n 's/.*please wait !!! \([0-9]*\) %.*/\1/p'; }
share_rose() { now=$(share) && [ -n "$now" ] && [ "$now" -gt "$seen" ]; }
pane_path="$work/slow:$PATH" start_host 100 40 --store "$store"
wait_for "> Install new Image"
keys Enter
check "install dialog: empty name field and check box drawn" eval 'wait_for "Install Image" &&
    screen | grep -q "\[ \{10,\}\]" && on_screen "[ ] Settings copy"'
keys Down Down
check "name field: legend says Enter edits" wait_for "Enter starts editing"
keys Enter
check "editing legend" wait_for "Backspace deletes  F3 a<>A  Enter or Esc ends editing"
keys -l "Demo-1x"
keys BSpace
check "name typed, one letter deleted" wait_for "Demo-1_"
keys Enter Down Down
check "Install button focused" wait_for ">(green) Install"
keys Enter
seen=-1
check "status line: the copy's share shown while it runs, then a greater one" eval 'wait_until share_rose &&
    seen=$now && wait_until share_rose'
keys Enter Down Enter  # typed blind while the copy blocks
touch "$work/seen"
check "installed" wait_for "Image is installed"
sleep 0.5
check "type-ahead: keys typed during the copy dropped" on_screen "Image is installed"
keys Enter
check "menu back, slot named" eval 'wait_for "> Install new Image" && grep -qx name=Demo-1 "$store/image/0/Image.info"'
keys Escape
ended_cleanly 0 "after installing"

# Ctrl-C during an installation: it finishes, and its result stays on the terminal.
rm -rf "$work/seen" "$store/image/1"
cp "$work/big.img" "$store"
pane_path="$work/slow:$PATH" start_host 100 40 --store "$store"
wait_for "> Install new Image"
keys Enter
wait_for "Install Image"
keys F2
seen=-1
wait_until share_rose
keys C-c
check "Ctrl-C during an installation: the status line says it finishes first" eval '
    wait_for "interrupted: nimbrel-host ends once the installation or step under way has finished" && on_screen "please wait"'
touch "$work/seen"
ended_cleanly 130 "Ctrl-C during an installation"
check "its result printed after the screen is gone, the slot installed" eval 'on_screen "[Info] Image is installed" &&
    on_screen "nimbrel-host: interrupted, ended once" && [ -f "$store/image/1/Image.info" ]'
finish
