#!/bin/bash
# nimbrel-host in a terminal, driven through tmux as a person drives it:
# the main menu and its keys, a terminal too small, the terminal given back
# on every way out, and installations from the demo store with the screen
# kept up to date during a shell command and keys typed meanwhile dropped.
set -u
. "$NIMBREL_SOURCE/tests/tmux_support.sh"

mkdir -p /tmp/store/tools

# The main menu, moving the focus, the About box, and Esc to leave.
start_host 100 40 --store /tmp/store
check "main menu appears" wait_for "About..."
check "key legend on the bottom line" \
    eval 'screen | sed -n 40p | grep -qF "arrows move  Enter ok  Esc exit  F1 red  F2 green"'
check "screen centred: window frame at its column" eval 'screen | grep -q "^ \{29\}+- Nimbrel -"'
check "focus marked" eval 'screen | grep -qF "> Install new Image"'
check "focus in reverse video" eval 'screen_styled | grep -F "Install new Image" | grep -q $'"'\e\\[7m'"
check "terminal in its full-screen mode" test "$(flag alternate_on)" = 1
check "cursor hidden" test "$(flag cursor_flag)" = 0
keys Down Down Down Down Down Up Down Enter
check "About box opens" wait_for "Nimbrel V1.2"
check "About box alone on the screen" wait_for "Install new Image" gone
keys Enter
check "About box closes" wait_for "Nimbrel V1.2" gone
check "main menu back" wait_for "> About..."
keys Escape
ended_cleanly 0 "Esc"

# Test plug-ins (tests/plugins/way.cpp) that show a window and run a shell
# command without ever waiting for a key, then throw or exit.
plugins=$NIMBREL_BUILD/test-plugins
start_host 100 40 --store /tmp/store "$plugins/throw.so"
ended_cleanly 1 "exception"
check "exception: message readable after the terminal is back" \
    wait_for "nimbrel-host: the plug-in gave up"
start_host 100 40 --store /tmp/store "$plugins/exit.so"
ended_cleanly 4 "exit() in the plug-in"

# Signals end the host, but the terminal is restored first.
for signal in TERM:143 HUP:129 INT:130; do
    start_host 100 40 --store /tmp/store
    check "SIG${signal%:*}: main menu appears" wait_for "Install new Image"
    if [ "${signal%:*}" = INT ]; then
        keys C-c
    else
        kill "-${signal%:*}" "$(host_pid)"
    fi
    ended_cleanly "${signal#*:}" "SIG${signal%:*}"
done

# A terminal too small for the screen says so; keys wait until it fits.
start_host 80 24 --store /tmp/store
check "too small: says so" wait_for "terminal too small: need 90x37, have 80x24"
check "too small: no broken picture" eval '! screen | grep -q "Install new Image\|arrows move"'
keys Escape
sleep 0.5
check "too small: Esc not pressed blind" kill -0 "$(host_pid)"
resize 100 40
check "enlarged: main menu drawn" wait_for "Install new Image"
resize 95 30
check "shrunk: says so again" wait_for "terminal too small: need 90x37, have 95x30"
resize 90 37
check "exact fit: main menu and legend drawn" eval 'wait_for "Install new Image" && wait_for "0-9 digits"'
keys Escape
ended_cleanly 0 "resized"

# A person installs the two-part demo image under a typed name, then the
# single-part one with the Install button. A cp held back until the test has seen the screen (a slow disk)
# shows "please wait !!!" however loaded the machine is.
store=/tmp/demo
mkdir -p "$work/slow"
printf '#!/bin/sh\ntouch %s/cp-held\ni=0\nwhile [ ! -e %s/seen ] && [ $i -lt 200 ]; do\n    sleep 0.1\n    i=$((i + 1))\ndone\nexec /bin/cp "$@"\n' \
    "$work" "$work" >"$work/slow/cp"
chmod 755 "$work/slow/cp"
touch "$work/seen"
if "$NIMBREL_SOURCE/scripts/make-demo-store" "$store" >/dev/null; then
    pane_path="$work/slow:$PATH" start_host 100 40 --store "$store"
    check "install: main menu appears" wait_for "> Install new Image"
    keys Enter
    check "install: dialog opens" wait_for "Install Image"
    if screen | grep -qF ">single-part.img"; then
        keys Enter Down Enter
    fi
    check "install: two-part image chosen" wait_for ">two-part.img"
    check "install: empty name field visible" eval 'screen | grep -q "\[ \{10,\}\]"'
    keys Down Down
    check "install: legend on the field says Enter edits" wait_for "Enter starts editing"
    keys Enter
    check "install: typing legend while editing" wait_for "Backspace deletes  F3 a<>A  Enter or Esc ends editing"
    keys -l "Demo-1x"
    keys BSpace
    check "install: name typed, one letter deleted" wait_for "Demo-1_"
    keys Enter
    check "install: legend back after editing" wait_for "Esc exit"
    keys F2
    check "install: Image is installed" wait_for "Image is installed"
    keys Enter
    check "install: slot 0 named" test "$(cat "$store/image/0/Image.info" 2>/dev/null)" = "name=Demo-1"
    keys Enter
    check "install 2: single-part image offered" wait_for ">single-part.img"
    keys Down Down Down Down
    check "install 2: Install button focused" wait_for ">(green) Install"
    rm -f "$work/seen" "$work/cp-held"
    keys Enter
    check "install 2: the copy runs" wait_until test -e "$work/cp-held"
    check "install 2: please wait !!! while it runs" wait_for "please wait !!!"
    keys Enter Down Enter  # typed blind while the copy blocks
    touch "$work/seen"
    check "install 2: Image is installed" wait_for "Image is installed"
    sleep 0.5
    check "type-ahead: keys typed during the copy dropped" eval 'screen | grep -qF "Image is installed"'
    keys Enter
    check "install 2: main menu back" wait_for "> Install new Image"
    check "install: boot menu lists both" \
        grep -qx "menu_items=TovraImage,Demo-1,Image-1," "$store/tools/lcdmenu.conf"
    keys Escape
    ended_cleanly 0 "after installing"
else
    check "demo store made" false
fi

finish
