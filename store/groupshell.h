#pragma once
#include <string>
#include <sys/types.h>

// The child side of runWatched: what its child becomes between fork and exec.

// Where the group shell writes the command's status, just below the handed
// descriptors (store/shell.h); the shared one follows them (9 at most: the
// shell names one digit).
constexpr int statusDescriptor = 3;
constexpr int maxHandedDescriptors = 5;

// The script that the group shell runs LINE with, made before the fork.
std::string groupShellScript(const char* line);

// All the child needs, made before the fork: the SCRIPT of groupShellScript,
// the PARENT's pid, and the descriptors it gets as 3, 4, ... (the status
// pipe's end first, then the handed ones, then the shared one).
struct GroupShellPlan {
    const char* script;
    pid_t parent;
    int sources[1 + maxHandedDescriptors + 1];
    int count;
};

// In the child of fork: becomes a group shell that runs PLAN's script (see
// runWatched for all it gets), with only async-signal-safe calls, as the
// child of a threaded host must. Never returns; exits 127 when it cannot.
[[noreturn]] void becomeGroupShell(const GroupShellPlan& plan);
