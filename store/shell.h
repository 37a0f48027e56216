#pragma once
#include "host/estring.h"

// Quotes VALUE as one word for a shell command line: wrapped in single
// quotes, each embedded single quote written as '\''. Every value that goes
// into a command line (mount point, file name, slot text) passes through here.
eString shellQuote(const eString& value);

// Runs LINE with the shell through system(). True only when the shell ran
// and exited with status 0; a shell that could not start, exited non-zero or
// was killed by a signal counts as a failure.
bool runCommand(const eString& line);
