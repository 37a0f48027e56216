#pragma once
#include <stdexcept>
#include <string>

#include "host/estring.h"
#include "install/copyprogress.h"

// A wrong use or a request refused before anything is touched: status 2.
struct Refusal : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The progress of a long step on standard error: one line redrawn on a
// terminal, nothing elsewhere (a pipe, a log). Cleared when it ends.
class ProgressLine {
public:
    ProgressLine();
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    ProgressShown shown();

private:
    bool terminal;
    bool drawn = false;
};

// TEXT with each control character as '?': a name from the store never
// moves a terminal's cursor or changes its colours.
std::string printable(std::string text);

// Whether standard input is a terminal that can be asked.
bool canAsk();

// Asks QUESTION on standard error; true when the answer read from standard
// input is "yes".
bool askYes(const std::string& question);

// While one lives, Ctrl-C (SIGINT) is taken as a request to stop: the
// installation asks interrupted() between its steps.
class InterruptWatch {
public:
    InterruptWatch();
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    static bool interrupted();
};
