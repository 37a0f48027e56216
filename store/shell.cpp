#include "store/shell.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <initializer_list>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "store/descriptor.h"
#include "store/groupshell.h"

static_assert(statusDescriptor + 1 == handedDescriptor, "the handed descriptors follow the status");

namespace {

constexpr int pollMilliseconds = 500;
// How long a command's group, sent SIGKILL, is given to go before it is
// left to the kernel (a mount on a dying disk may never go).
constexpr int killedGraceMs = 2000;

// This thread's: in nimbrel serve the slots' du and the status run their
// commands beside an installation, which must not keep its lock.
thread_local int sharedDescriptor = -1;  // see SharedWithCommands

sigset_t signalSet(std::initializer_list<int> numbers)
{
    sigset_t set;
    sigemptyset(&set);
    for (int number : numbers)
        sigaddset(&set, number);
    return set;
}

const sigset_t interrupts = signalSet({SIGINT, SIGQUIT});

// The end of the child PID, reaped if it is still ours to reap; WAIT
// whether to wait for it.
void reap(pid_t pid, bool wait)
{
    int status;
    while (waitpid(pid, &status, wait ? 0 : WNOHANG) < 0 && errno == EINTR) {
    }
}

// Reads what is there on the status pipe into TEXT; true at its end.
bool readStatus(int fd, std::string& text)
{
    char buffer[32];
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0)
        return errno != EINTR && errno != EAGAIN;
    if (text.size() < 64)
        text.append(buffer, static_cast<size_t>(got));
    return got == 0;
}

using Clock = std::chrono::steady_clock;

int msSince(Clock::time_point start)
{
    return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// Ends the command's group when it is to stop or is over its limit; how it
// was ended, if it was.
std::optional<CommandEnd> forcedEnd(pid_t pid, const CommandOptions& options, Clock::time_point start)
{
    if (options.stop && options.stop() && kill(-pid, SIGTERM) == 0)
        return CommandEnd::Stopped;
    if (options.limitMs > 0 && msSince(start) >= options.limitMs && kill(-pid, SIGKILL) == 0)
        return CommandEnd::TimedOut;
    return std::nullopt;
}

CommandEnd watch(pid_t pid, const Descriptor& status, const CommandOptions& options, Clock::time_point start)
{
    std::string text;
    Clock::time_point forcedAt;
    std::optional<CommandEnd> forced;
    bool ended = false;
    while (!ended) {
        int wait = pollMilliseconds;
        if (options.limitMs > 0 && !forced)
            wait = std::clamp(options.limitMs - msSince(start), 1, pollMilliseconds);
        struct pollfd watch = {status.get(), POLLIN, 0};
        int ready = poll(&watch, 1, wait);
        if (ready > 0) {
            ended = readStatus(status.get(), text);
            continue;
        }
        if (ready < 0 && errno == EINTR)
            continue;
        if (options.tick)
            options.tick();
        if (!forced && (forced = forcedEnd(pid, options, start)))
            forcedAt = Clock::now();
        else if (forced && msSince(forcedAt) >= killedGraceMs)
            break;
    }
    reap(pid, ended);
    if (forced)
        return *forced;
    return text == "0\n" ? CommandEnd::Succeeded : CommandEnd::Failed;
}

} // namespace

eString shellQuote(const eString& value)
{
    eString quoted = "'";
    for (char c : value) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    quoted += "'";
    return quoted;
}

StartedCommand::StartedCommand(const eString& line, const CommandOptions& options)
    : options(options)
    , start(Clock::now())
{
    int ends[2];
    if (options.handed.size() > maxHandedDescriptors || !makePipe(ends))
        return;
    Descriptor report(ends[1]);
    status = Descriptor(ends[0]);
    std::string script = groupShellScript(line.c_str());
    GroupShellPlan plan = {script.c_str(), getpid(), {report.get()}, 1};
    for (int fd : options.handed)
        plan.sources[plan.count++] = fd;
    if (sharedDescriptor >= 0)
        plan.sources[plan.count++] = sharedDescriptor;
    pid = spawnGroupShell(plan);
    report.close();  // its end then tells that the shell is gone
    if (pid > 0)
        setpgid(pid, pid);  // unchecked: the child does so too; this only closes the race with a kill
}

StartedCommand::~StartedCommand()
{
    end();
}

CommandEnd StartedCommand::end()
{
    if (!ended)
        ended = pid > 0 ? watch(pid, status, options, start) : CommandEnd::Failed;
    return *ended;
}

CommandEnd runWatched(const eString& line, const CommandOptions& options)
{
    return StartedCommand(line, options).end();
}

bool runCommand(const eString& line)
{
    return runWatched(line, {}) == CommandEnd::Succeeded;
}

bool runPolled(const eString& line, const std::function<void()>& tick, const std::function<bool()>& stop)
{
    return runWatched(line, {tick, stop, {}, 0}) == CommandEnd::Succeeded;
}

HeldInterrupts::HeldInterrupts()
{
    pthread_sigmask(SIG_BLOCK, &interrupts, &before);
}

HeldInterrupts::~HeldInterrupts()
{
    pthread_sigmask(SIG_SETMASK, &before, nullptr);  // one that came acts now
}

SharedWithCommands::SharedWithCommands(int descriptor)
{
    sharedDescriptor = descriptor;
}

SharedWithCommands::~SharedWithCommands()
{
    sharedDescriptor = -1;
}
