#pragma once
#include <string>

#include "host/estring.h"
#include "store/outcome.h"

// nimbrel.log in the store: one line for each action that took the store's
// lock and did not refuse (a refusal touches nothing), whichever front end
// ran it, so that what either did can be read back at a shell:
//   2026-12-07T21:50:17Z nimbrel install 3 done Image is installed
// UTC time, front end, action, slot ("-" for none), done or failed, the
// message on one line.

// The front end that writes the lines; "windows" unless changed.
extern const char* logFrontEnd;

// Bound of the log: past it, the file is replaced by its newest lines.
constexpr size_t actionLogLimit = 64 * 1024;

// Appends the line of ACTION on SLOT that ended with OUTCOME, unless it is
// a refusal, under the store's lock, on the disk before it returns.
// Unchecked: a log that cannot be written never changes an action's outcome.
void logAction(const eString& action, const eString& slot, const Outcome& outcome);

// The log's path in the store.
eString actionLogPath();
