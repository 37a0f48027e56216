#!/bin/bash
# nimbrel-host --window on a virtual X display, driven with xdotool: the window
# opens, keys install an image under a typed name, the window then shows the
# main menu exactly as snap:FILE.png paints it, and closing it ends the host.
set -u
. "$NIMBREL_SOURCE/tests/check.sh"
work=/tmp/window-test store=/tmp/store
mkdir -p "$work"
check "--window without a display says so" \
    eval 'env -u DISPLAY "$host" --window 2>&1 | grep -q "cannot open a window"'

# Closes a window as a window manager does, which xdotool cannot.
cat >"$work/close.c" <<'C'
#include <X11/Xlib.h>
#include <stdlib.h>
int main(int argc, char** argv)
{
    Display* d = XOpenDisplay(0);
    XEvent e = {.xclient = {.type = ClientMessage, .window = strtoul(argv[argc - 1], 0, 0),
        .message_type = XInternAtom(d, "WM_PROTOCOLS", 0), .format = 32}};
    e.xclient.data.l[0] = XInternAtom(d, "WM_DELETE_WINDOW", 0);
    XSendEvent(d, e.xclient.window, 0, 0, &e);
    XCloseDisplay(d);
}
C
cc -o "$work/close" "$work/close.c" -lX11 || { check "X helper builds" false; finish; exit; }
# The display's pixels are kept in an XWD file in $work.
Xvfb -displayfd 3 -fbdir "$work" -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
trap "kill $! 2>/dev/null" EXIT
wait_until test -s "$work/display"
export DISPLAY=:$(cat "$work/display")

"$NIMBREL_SOURCE/scripts/make-demo-store" "$store" >/dev/null
"$host" --store "$store" --keys "snap:$work/menu.png" >/dev/null
pngtopnm "$work/menu.png" >"$work/menu.ppm"
# The libraries under SDL (D-Bus, input methods) keep memory to the end,
# which a sanitizer build would report as leaks of the host.
ASAN_OPTIONS=detect_leaks=0 "$host" --window --store "$store" >"$work/host.log" 2>&1 &
pid=$!
window=$(timeout 20 xdotool search --sync --name '^nimbrel-host$' | head -1)
check "window opens" test -n "$window"
xdotool windowfocus --sync "$window"
xdotool key Return Down Down Return
xdotool type "Win 1"
xdotool key Return F2
# The box shows once the last command has run; a key before would be dropped.
installed() { grep -q "Win 1" "$store/tools/lcdmenu.conf" 2>/dev/null && ! pgrep -P "$pid" >/dev/null; }
check "installed under the typed name" eval 'wait_until installed && grep -qx "name=Win 1" "$store/image/0/Image.info"'
sleep 0.5
xdotool key Return
eval "$(xdotool getwindowgeometry --shell "$window")"
shows_menu() { xwdtopnm "$work/Xvfb_screen0" 2>/dev/null | pnmcut "$X" "$Y" 720 576 | cmp -s - "$work/menu.ppm"; }
check "window shows the main menu again, as its picture" wait_until shows_menu
"$work/close" "$window"
check "closing the window ends the host" wait_until eval '! kill -0 $pid 2>/dev/null'
kill -KILL "$pid" 2>/dev/null  # one that stayed fails below rather than hanging here
wait "$pid"
check "... with status 0" test $? = 0
finish
