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
// A success whose line was written as expected adds none.
void logAction(const eString& action, const eString& slot, const Outcome& outcome);

// A success costs the log no barrier of its own: its line goes beside the
// action's files before the action's last barrier, which makes both
// durable. A power cut within that barrier may keep the line of an action
// whose last rename it loses (the boot menu then at its head, which the
// next action rewrites); when the barrier fails, the failure's line follows.
// While it lives, this thread's action expects the line that its success,
// SUCCESS, logs as ACTION on SLOT; logAction takes it as said once written.
struct ExpectedAction {
    ExpectedAction(const eString& action, const eString& slot, const eString& success);
    ~ExpectedAction();
    ExpectedAction(const ExpectedAction&) = delete;
    ExpectedAction& operator=(const ExpectedAction&) = delete;

    eString action, slot, success;
    bool waiting = true, written = false;
};
// Called right before an action's last barrier: writes the expected line,
// if one waits, without a barrier of its own.
void writeExpectedAction();
// The action failed before its last barrier: no success line is to come.
void forgetExpectedAction();

// The log's path in the store.
eString actionLogPath();
