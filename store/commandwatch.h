#pragma once
#include <chrono>
#include <sys/types.h>

#include "store/commandoptions.h"

// How runWatched waits for the command of a group shell (store/groupshell.h).

using CommandClock = std::chrono::steady_clock;

// How a wait ended: the command's end, and whether its shell is gone with
// it (a shell that reads on stays for the next command).
struct Watched {
    CommandEnd end;
    bool shellGone;
};

// Waits for the status that the group shell PID writes to STATUS: its
// first line when LINE_ENDS (a shell that reads its script and goes on),
// else the shell's end. Ticks, stops and limits the command, counted from
// START, as OPTIONS say, ending the shell's whole group to do so. A shell
// that is gone is reaped; one that does not go once killed is left to the
// kernel.
Watched watchCommand(pid_t pid, int status, const CommandOptions& options, CommandClock::time_point start,
    bool lineEnds);
