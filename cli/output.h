#pragma once

// A reader that went away must not cut nimbrel's work short, nor pass
// unsaid: SIGPIPE is ignored while one lives (commands get it back, as
// every signal, at their exec), and finish() turns an output that could
// not be written into status 1 and one line on stderr, where that works.
class OutputCheck {
public:
    OutputCheck();
    OutputCheck(const OutputCheck&) = delete;
    OutputCheck& operator=(const OutputCheck&) = delete;

    // STATUS, or 1 when standard output was closed at the start, or a write
    // to it or to standard error failed.
    int finish(int status);

private:
    bool stdoutClosed;
};
