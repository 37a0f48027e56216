#pragma once
#include "host/estring.h"
#include "store/shell.h"

// Fills each %s of FORMAT with the next of VALUES, quoted as one shell word,
// and runs the line; true when it succeeded (runCommand's rule).
template <class... Values>
bool runFormatted(const char* format, const Values&... values)
{
    static_assert(sizeof...(Values) > 0, "a line without values goes to runCommand");
    eString line;
    line.sprintf(format, shellQuote(values).c_str()...);
    return runCommand(line);
}
