#!/bin/bash
# nimbrel-host --window on a virtual X display, driven with xdotool as a
# person drives it: the window opens, keys install an image under a typed
# name, the window then shows the main menu exactly as snap:FILE.png paints
# it, and closing the window ends the host.
set -u
. "$NIMBREL_SOURCE/tests/check.sh"
host="$NIMBREL_BUILD/nimbrel-host"
work=/tmp/window-test
store=/tmp/store
mkdir -p "$work"

check "--window without a display says so" \
    eval 'env -u DISPLAY "$host" --window --store "$store" 2>&1 | grep -q "cannot open a window"'

# What xdotool cannot do: close a window as a window manager does (close),
# and read its pixels as a PPM picture (grab).
cat >"$work/xwin.cpp" <<'CPP'
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cstdio>
#include <cstdlib>
#include <string>
int main(int, char** argv)
{
    Display* display = XOpenDisplay(nullptr);
    Window window = std::strtoul(argv[2], nullptr, 0);
    XEvent event = {};
    event.xclient = {ClientMessage, 0, False, display, window,
        XInternAtom(display, "WM_PROTOCOLS", False), 32, {}};
    event.xclient.data.l[0] = XInternAtom(display, "WM_DELETE_WINDOW", False);
    if (std::string(argv[1]) == "close")
        XSendEvent(display, window, False, NoEventMask, &event);
    else if (XImage* image = XGetImage(display, window, 0, 0, 720, 576, AllPlanes, ZPixmap)) {
        std::printf("P6\n720 576\n255\n");
        for (int i = 0; i < 720 * 576; ++i) {
            unsigned long p = XGetPixel(image, i % 720, i / 720);
            std::printf("%c%c%c", int(p >> 16 & 255), int(p >> 8 & 255), int(p & 255));
        }
    }
    XCloseDisplay(display);
}
CPP
c++ -o "$work/xwin" "$work/xwin.cpp" -lX11 || { check "X helper builds" false; finish; exit; }

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
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
check "installed" wait_until installed
sleep 0.5
check "... under the typed name" grep -qx "name=Win 1" "$store/image/0/Image.info"
xdotool key Return
shows_menu() { "$work/xwin" grab "$window" >"$work/window.ppm" && cmp -s "$work/window.ppm" "$work/menu.ppm"; }
check "window shows the main menu again, as its picture" wait_until shows_menu
"$work/xwin" close "$window"
check "closing the window ends the host" wait_until eval '! kill -0 $pid 2>/dev/null'
wait "$pid"
check "... with status 0" test $? = 0
finish
