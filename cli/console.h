#pragma once
#include <string>

#include "commands/interrupt.h"
#include "host/estring.h"
#include "install/copyprogress.h"

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

// Whether standard input is a terminal that can be asked.
bool canAsk();

// Asks QUESTION on standard error; true when the answer read from standard
// input is "yes".
bool askYes(const std::string& question);
