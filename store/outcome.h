#pragma once
#include "host/estring.h"

// What an action reports to the user when it ends: the text of its message
// box and whether it succeeded, failed in a step, or refused to start.
struct Outcome {
    enum Kind { Done, Failed, Refused };

    static Outcome done(const eString& message);
    static Outcome failed(const eString& message);
    static Outcome refused(const eString& message);

    // "Info", "ERROR" or "Error".
    eString title() const;
    // The message box's first integer: 129 for a refusal, 1 otherwise.
    int boxFlags() const;

    Kind kind;
    eString message;
    // What the command line adds after the message: the object and what to
    // do. The windows show the message alone.
    eString detail = eString();
};
