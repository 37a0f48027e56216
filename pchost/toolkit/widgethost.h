#pragma once
#include <vector>

#include "host/ewidget.h"
#include "pchost/toolkit/keysource.h"

// The stand-in host's side of the widget tree: the stack of top-level
// windows, focus, key dispatch and screen geometry.
class eWidgetHost {
public:
    // Widgets without a parent, bottom of the screen first.
    static const std::vector<eWidget*>& topLevels();
    // Keep the stack of top-level widgets in step with their lives: a
    // shown window goes on top, and a message box coming into view is told
    // to the listener.
    static void created(eWidget* widget);
    static void destroyed(eWidget* widget);
    static void shown(eWidget* widget, bool wasVisible);
    // Shows WIDGET's new help text at once when the status bar of the top
    // window shows it: the box's host paints it while the plug-in is busy.
    static void helpTextChanged(eWidget* widget);

    // The top-level widget that WIDGET belongs to.
    static eWidget* windowOf(const eWidget* widget);
    // Whole widget and client area in screen pixels.
    static ePoint screenPosition(const eWidget* widget);
    static ePoint screenClientPosition(const eWidget* widget);

    // WINDOW's focused widget: the one it last had if it can still take the
    // focus, else its first focusable widget in creation order; null when
    // it has none.
    static eWidget* focused(eWidget* window);
    // Moves WINDOW's focus by STEP (1 down, -1 up) in creation order; false
    // when there is no widget that way.
    static bool moveFocus(eWidget* window, int step);
    // Handles one key of WINDOW's modal loop: a shortcut of the window, then
    // the focused widget, then focus movement, then exit closes the window.
    static void dispatch(eWidget* window, const pchost::KeyPress& press);
    // Runs WINDOW's modal loop on the keys of the source until the window is
    // closed; returns the result given to close().
    static int run(eWidget* window);
    // The key source of every modal loop, and the listener told of message
    // boxes, from now on (the session connects itself).
    static void connect(pchost::KeySource* keys, pchost::ScreenListener* listener);
};
