#pragma once
#include <string>

#include "store/outcome.h"

// How a command's outcome reaches the shell.

// Prints OUTCOME where it belongs: a success's lines on stdout, a refusal
// or failure as one line on stderr; with JSON also as one JSON object on
// stdout. Gives the exit status: 0 done, 1 failed, 2 refused.
int report(const Outcome& outcome, bool json = false);

// Writes TEXT on stdout: 0, or 1 when it could not be written.
int printed(const std::string& text);
