// The terminal front end of a host built without curses: there is none, so
// the host reads key names from standard input.
#include "pchost/front/terminal.h"

namespace pchost {

TerminalFrontEnd::TerminalFrontEnd() = default;

TerminalFrontEnd::~TerminalFrontEnd() = default;

std::unique_ptr<TerminalFrontEnd> startTerminal()
{
    return nullptr;
}

} // namespace pchost
