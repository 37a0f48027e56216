#pragma once
#include <memory>

// The terminal front end of nimbrel-host: the screen drawn with curses in
// the middle of the terminal, a key legend under it, keys read from the
// keyboard.
namespace pchost {

class TerminalFrontEnd {
public:
    // Takes over the terminal and makes it the session's key source.
    // Throws std::runtime_error when curses cannot drive it.
    TerminalFrontEnd();
    // Gives the terminal back as it was found; the session's key source
    // then only presses exit.
    ~TerminalFrontEnd();
    TerminalFrontEnd(const TerminalFrontEnd&) = delete;
    TerminalFrontEnd& operator=(const TerminalFrontEnd&) = delete;
};

// The front end when standard input and output are a terminal that curses
// can drive; null otherwise (a pipe, a dumb terminal).
std::unique_ptr<TerminalFrontEnd> startTerminal();

} // namespace pchost
