#pragma once
#include <chrono>
#include <csignal>
#include <functional>
#include <optional>
#include <sys/types.h>
#include <vector>

#include "host/estring.h"
#include "store/commandoptions.h"
#include "store/descriptor.h"

// Quotes VALUE as one word for a shell command line: wrapped in single
// quotes, each embedded single quote written as '\''. Every value that goes
// into a command line (mount point, file name, slot text) passes through here.
eString shellQuote(const eString& value);

// Runs LINE with /bin/sh as a child (a shell of its own, or one shared with
// other commands: CommandsInOneShell) and waits for it. Succeeded only when
// the shell ran LINE and LINE exited with status 0; that status comes from
// the shell itself through a pipe, so a host that reaps or ignores its
// children can lose it, never fake it: a lost status is a failure.
// The command, and all it starts, runs in a process group of its own with
// default signal dispositions (terminal interrupt and quit ignored, as for
// any command a script runs in the background), an empty signal mask, umask
// 0 (a copy keeps the modes of what it copies, whatever the host's umask),
// standard input, output and error that are the caller's or /dev/null, and
// no other descriptor of the caller but those handed to it and the one
// shared with it (SharedWithCommands). It is ended with the calling thread:
// nothing of it outlives a host that dies. Stopped, or over its limit, it
// is ended with all it started (SIGTERM, then SIGKILL to its group).
CommandEnd runWatched(const eString& line, const CommandOptions& options);

class CommandsInOneShell;

// runWatched in two halves: LINE starts with the object and runs while the
// caller goes on; end() waits for it (its TICK and STOP are asked only
// then; the limit counts from the start) and answers alike when asked
// again. Destroyed before end() was asked, it waits all the same: nothing
// it started is left running.
class StartedCommand {
public:
    StartedCommand(const eString& line, const CommandOptions& options);
    ~StartedCommand();
    StartedCommand(const StartedCommand&) = delete;
    StartedCommand& operator=(const StartedCommand&) = delete;

    CommandEnd end();

private:
    CommandOptions options;
    std::chrono::steady_clock::time_point start;
    pid_t pid = -1;
    Descriptor status;
    CommandsInOneShell* shell = nullptr;  // whose shell runs it, if one does
    std::optional<CommandEnd> ended;
};

// While one lives, the commands that runWatched starts in its thread run
// one after another in one group shell, started with the first of them
// and fed each line through a socket: a shell's start costs as much as a
// small command's, and an installation runs five. Each command keeps all
// that runWatched promises, but shares its process group with the shell:
// stopped or over its limit, it is ended with the shell, and the next
// command starts another. A command handed descriptors, or started while
// another of them runs (StartedCommand), gets a shell of its own. The
// shared descriptor (SharedWithCommands) is the one set when the shell
// starts. Destroyed, it waits for its command, then for its shell's end.
class CommandsInOneShell {
public:
    CommandsInOneShell();
    ~CommandsInOneShell();
    CommandsInOneShell(const CommandsInOneShell&) = delete;
    CommandsInOneShell& operator=(const CommandsInOneShell&) = delete;

private:
    friend class StartedCommand;
    bool send(const eString& line);
    bool startShell();
    CommandEnd watchRunning(const CommandOptions& options, std::chrono::steady_clock::time_point start);
    void endShell();

    CommandsInOneShell* outer;  // the one this thread had before
    pid_t pid = -1;
    Descriptor status, script;
    StartedCommand* running = nullptr;
};

// runWatched without ticks, stop, descriptors or limit: whether it succeeded.
bool runCommand(const eString& line);

// runWatched with TICK and STOP: whether it succeeded.
bool runPolled(const eString& line, const std::function<void()>& tick,
    const std::function<bool()>& stop = nullptr);

// While one lives, the terminal's interrupt and quit (Ctrl-C, Ctrl-\) wait:
// they reach neither the calling thread nor the commands, and act on the
// thread once it ends.
class HeldInterrupts {
public:
    HeldInterrupts();
    ~HeldInterrupts();
    HeldInterrupts(const HeldInterrupts&) = delete;
    HeldInterrupts& operator=(const HeldInterrupts&) = delete;

private:
    sigset_t before;
};

// While one lives, the commands that runWatched starts in its thread hold
// DESCRIPTOR (a lock's, say) open as long as they live: what it locks stays
// locked while one of them does. Other threads' commands do not get it.
class SharedWithCommands {
public:
    explicit SharedWithCommands(int descriptor);
    ~SharedWithCommands();
    SharedWithCommands(const SharedWithCommands&) = delete;
    SharedWithCommands& operator=(const SharedWithCommands&) = delete;
};

namespace shellline {
inline eString word(const eString& value) { return shellQuote(value); }
inline int word(int value) { return value; }
inline long long word(long long value) { return value; }
inline const char* argument(const eString& word) { return word.c_str(); }
inline int argument(int word) { return word; }
inline long long argument(long long word) { return word; }

template <class... Words>
eString compose(const char* format, const Words&... words)
{
    eString line;
    return line.sprintf(format, argument(words)...);
}
} // namespace shellline

// Fills FORMAT like sprintf with VALUES, each string quoted as one shell word
// by shellQuote and each number as it is (%d, or %lld for a long long).
template <class... Values>
eString formatLine(const char* format, const Values&... values)
{
    return shellline::compose(format, shellline::word(values)...);
}

// Runs the line that formatLine makes of FORMAT and VALUES with runCommand.
template <class... Values>
bool runFormatted(const char* format, const Values&... values)
{
    return runCommand(formatLine(format, values...));
}
