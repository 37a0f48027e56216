#pragma once
#include <string>
#include <sys/types.h>

// The child side of runWatched: how its child starts, and what it becomes
// before its exec.

// Where the group shell writes the command's status, just below the handed
// descriptors (store/shell.h); the shared one follows them (9 at most: the
// shell names one digit).
constexpr int statusDescriptor = 3;
constexpr int maxHandedDescriptors = 5;

// What a group shell runs LINE with: the trap that ends the whole group
// on TERM, then LINE's command, which writes its status to the status
// descriptor. A shell that reads its script (GroupShellPlan::input) gets
// the trap once, then one command for each line.
extern const char groupShellTrap[];
std::string groupShellCommand(const char* line);
std::string groupShellScript(const char* line);  // the trap and LINE's command, for sh -c

// All the child needs, made before it starts: the SCRIPT of groupShellScript,
// the PARENT's pid, and the descriptors it gets as 3, 4, ... (the status
// pipe's end first, then the handed ones, then the shared one). With a
// null SCRIPT the shell reads its script from INPUT, its standard input
// (its commands get /dev/null there, as a script's background jobs do).
struct GroupShellPlan {
    const char* script;
    pid_t parent;
    int sources[1 + maxHandedDescriptors + 1];
    int count;
    int input = -1;
};

// Starts the child that becomes PLAN's group shell; its pid, or -1. It
// shares this process's memory until its exec (clone with CLONE_VM and
// CLONE_VFORK, as posix_spawn does), so neither side pays for a copy of the
// host's pages; this thread waits meanwhile, with every signal held. May
// leave errno changed by the child's calls.
pid_t spawnGroupShell(const GroupShellPlan& plan);

// In the child: becomes a group shell that runs PLAN's script (see
// runWatched for all it gets), with only async-signal-safe calls, as the
// child of a threaded host must. Never returns; exits 127 when it cannot.
[[noreturn]] void becomeGroupShell(const GroupShellPlan& plan);
