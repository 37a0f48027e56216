#pragma once
#include <string>

#include "pchost/toolkit/keys.h"

// What the modal loops need from outside the toolkit: where they take their
// keys from, and whom they tell what came into view (eWidgetHost::connect).
namespace pchost {

class KeySource {
public:
    virtual ~KeySource() = default;

    // The next key for the innermost waiting modal loop. The screen is up to
    // date when it is called. May throw ScriptExhausted.
    virtual KeyPress nextKey() = 0;
    // Called before the plug-in blocks in long work (a shell command) and
    // when the status line changes meanwhile, so that the screen can be
    // redrawn while it waits.
    virtual void beforeBlocking() {}
};

// The three integers a message box was made with.
struct BoxIntegers {
    int flags;
    int defaultButton;
    int timeout;
};

class ScreenListener {
public:
    virtual ~ScreenListener() = default;
    // A message box with TITLE and TEXT came into view.
    virtual void messageShown(const std::string& title, const std::string& text,
        const BoxIntegers& integers) = 0;
    // The status line shows TEXT, set while the plug-in is at work.
    virtual void statusChanged(const std::string& text) = 0;
};

} // namespace pchost
