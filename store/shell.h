#pragma once
#include <csignal>
#include <functional>

#include "host/estring.h"

// Quotes VALUE as one word for a shell command line: wrapped in single
// quotes, each embedded single quote written as '\''. Every value that goes
// into a command line (mount point, file name, slot text) passes through here.
eString shellQuote(const eString& value);

// Runs LINE with /bin/sh -c as a child and waits for it. True only when
// the shell ran and exited with status 0; a shell that could not start,
// exited non-zero or was killed by a signal counts as a failure. As
// system() does, it keeps SIGCHLD from the calling thread while it waits,
// so that a host that reaps every child does not take this one's status.
// The command, and all it starts, runs in a process group of its own,
// ignores the terminal's interrupt and quit, and is ended with the calling
// thread: nothing of it outlives a host that dies.
bool runCommand(const eString& line);

// As runCommand, calling TICK about every half second while the command
// runs. It returns as soon as the command ends, not at the next tick. When
// STOP (if given) says so at a tick, the command and all it started are
// ended (SIGTERM to its process group), and it counts as failed.
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

// While one lives, the commands that runCommand and runPolled start hold
// DESCRIPTOR (a lock's, say) open as long as they live: what it locks stays
// locked while one of them does.
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
inline const char* argument(const eString& word) { return word.c_str(); }
inline int argument(int word) { return word; }

template <class... Words>
eString compose(const char* format, const Words&... words)
{
    eString line;
    return line.sprintf(format, argument(words)...);
}
} // namespace shellline

// Fills FORMAT like sprintf with VALUES, each string quoted as one shell word
// by shellQuote and each number as it is, and runs the line with runCommand.
template <class... Values>
bool runFormatted(const char* format, const Values&... values)
{
    return runCommand(shellline::compose(format, shellline::word(values)...));
}

// As runFormatted, with the line run by runPolled.
template <class... Values>
bool runFormattedPolled(const std::function<void()>& tick, const char* format, const Values&... values)
{
    return runPolled(shellline::compose(format, shellline::word(values)...), tick);
}
