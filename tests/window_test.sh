#!/bin/bash
# nimbrel-host --window on a virtual X display, driven with xdotool as a
# person drives it: the window opens, keys install an image under a typed
# name, the window then shows the main menu exactly as its picture does,
# and closing the window ends the host.
set -u
. "$NIMBREL_SOURCE/tests/check.sh"
host="$NIMBREL_BUILD/nimbrel-host"
work=/tmp/window-test
store=/tmp/store
mkdir -p "$work"

check "--window without a display says so" \
    eval 'env -u DISPLAY "$host" --window --store "$store" 2>&1 | grep -q "cannot open a window"'

# What xdotool cannot do: close a window as a window manager does, and read
# its pixels (as a PPM picture).
cat >"$work/xwin.cpp" <<'CPP'
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cstdio>
#include <cstdlib>
#include <string>
int main(int argc, char** argv)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display || argc != 3)
        return 2;
    Window window = std::strtoul(argv[2], nullptr, 0);
    if (std::string(argv[1]) == "close") {
        XEvent event = {};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = XInternAtom(display, "WM_DELETE_WINDOW", False);
        XSendEvent(display, window, False, NoEventMask, &event);
    } else if (XImage* image = XGetImage(display, window, 0, 0, 720, 576, AllPlanes, ZPixmap)) {
        std::printf("P6\n720 576\n255\n");
        for (int i = 0; i < 720 * 576; ++i) {
            unsigned long pixel = XGetPixel(image, i % 720, i / 720);
            std::printf("%c%c%c", int(pixel >> 16 & 255), int(pixel >> 8 & 255), int(pixel & 255));
        }
    }
    XCloseDisplay(display);
    return 0;
}
CPP
if ! c++ -o "$work/xwin" "$work/xwin.cpp" -lX11; then
    check "X helper builds" false
    finish
    exit
fi

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null' EXIT
for ((i = 0; i < 100; i++)); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
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
# Shown once its last command has run; keys before that would be dropped.
for ((i = 0; i < 200; i++)); do
    grep -q "Win 1" "$store/tools/lcdmenu.conf" 2>/dev/null && ! pgrep -P "$pid" >/dev/null && break
    sleep 0.1
done
sleep 0.5
check "installed under the typed name" grep -qx "name=Win 1" "$store/image/0/Image.info"
xdotool key Return
shows_menu() { "$work/xwin" grab "$window" >"$work/window.ppm" && cmp -s "$work/window.ppm" "$work/menu.ppm"; }
for ((i = 0; i < 50; i++)); do
    shows_menu && break
    sleep 0.1
done
check "window shows the main menu again, as its picture" shows_menu
"$work/xwin" close "$window"
for ((i = 0; i < 100; i++)); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
check "closing the window ends the host" eval '! kill -0 $pid 2>/dev/null'
wait "$pid"
check "... with status 0" test $? = 0
finish
