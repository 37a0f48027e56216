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
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "store/descriptor.h"

extern char** environ;

namespace {

constexpr int pollMilliseconds = 500;
// Where the group shell writes the command's status: just below the
// handed descriptors.
constexpr int statusDescriptor = handedDescriptor - 1;
constexpr int maxHanded = 5;  // 4 to 8, and the shared one at 9 at most: one digit each
// How long a command's group, sent SIGKILL, is given to go before it is
// left to the kernel (a mount on a dying disk may never go).
constexpr int killedGraceMs = 2000;

// The child's shell runs the command in the background of a process group
// of its own and ends that whole group when TERM comes (the death signal,
// once the caller's thread is gone, or a stop): a signal to the shell alone
// would not reach what it starts, and a trap runs only between commands.
// It then writes the command's status where the caller reads it; the
// command does not get that descriptor, so what it leaves running keeps
// nobody waiting.
const char groupShell[] = "trap 'kill -KILL 0' TERM; eval \"$1\" 3>&- & wait $!; echo $? >&3";
static_assert(statusDescriptor == 3, "groupShell names it");

int sharedDescriptor = -1;  // see SharedWithCommands

sigset_t signalSet(std::initializer_list<int> numbers)
{
    sigset_t set;
    sigemptyset(&set);
    for (int number : numbers)
        sigaddset(&set, number);
    return set;
}

const sigset_t interrupts = signalSet({SIGINT, SIGQUIT});

// What the child is to become, all of it made before the fork.
struct ChildPlan {
    const char* const* argv;
    pid_t parent;
    int sources[1 + maxHanded + 1];  // the status pipe, the handed ones, the shared one
    int count;
};

// Everything below runs between fork and exec in the child of a host that
// may have other threads: only async-signal-safe calls.

// An ignored signal stays ignored across exec, a blocked one blocked: the
// command would not stop when told, and a shell whose SIGCHLD is ignored
// loses every status of its own children.
void defaultSignals()
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    for (int number = 1; number < NSIG; ++number) {
        if (number != SIGKILL && number != SIGSTOP)
            sigaction(number, &action, nullptr);  // unchecked: the C library's own are refused
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

bool isSource(const ChildPlan& plan, int fd)
{
    return std::find(plan.sources, plan.sources + plan.count, fd) != plan.sources + plan.count;
}

// Standard input, output and error: the caller's, unless closed or one of
// the descriptors moved into place below (with the caller's stdio closed,
// a pipe of ours may have got its number); /dev/null then, so that no
// output lands in something else and no file the command opens becomes
// its standard output.
void ownStandardStreams(const ChildPlan& plan)
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (!isSource(plan, fd) && fcntl(fd, F_GETFD) >= 0)
            continue;
        int null = open("/dev/null", O_RDWR);
        if (null >= 0 && null != fd) {
            dup2(null, fd);
            close(null);
        }
    }
}

void closeFrom(int first)
{
#ifdef SYS_close_range
    if (syscall(SYS_close_range, first, ~0U, 0) == 0)
        return;
#endif
    struct rlimit limit;
    int end = getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
        ? static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 1 << 20)) : 1 << 16;
    for (int fd = first; fd < end; ++fd)
        close(fd);
}

[[noreturn]] void becomeGroupShell(const ChildPlan& plan)
{
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != plan.parent)
        _exit(127);  // the caller is gone already
    defaultSignals();
    umask(0);  // a copy keeps the modes of what it copies, whatever the host's umask
    // Moved above their places first: a source may hold another's place.
    int end = statusDescriptor + plan.count;
    int moved[1 + maxHanded + 1];
    for (int i = 0; i < plan.count; ++i) {
        if ((moved[i] = fcntl(plan.sources[i], F_DUPFD, end)) < 0)
            _exit(127);
    }
    ownStandardStreams(plan);
    for (int i = 0; i < plan.count; ++i) {
        if (dup2(moved[i], statusDescriptor + i) < 0)
            _exit(127);
    }
    closeFrom(end);
    execve("/bin/sh", const_cast<char* const*>(plan.argv), environ);
    _exit(127);
}

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

CommandEnd watch(pid_t pid, const Descriptor& status, const CommandOptions& options)
{
    std::string text;
    Clock::time_point start = Clock::now(), forcedAt;
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

CommandEnd runWatched(const eString& line, const CommandOptions& options)
{
    if (options.handed.size() > maxHanded)
        return CommandEnd::Failed;
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return CommandEnd::Failed;
    Descriptor status(ends[0]), report(ends[1]);
    const char* const argv[] = {"sh", "-c", groupShell, "sh", line.c_str(), nullptr};
    ChildPlan plan = {argv, getpid(), {report.get()}, 1};
    for (int fd : options.handed)
        plan.sources[plan.count++] = fd;
    if (sharedDescriptor >= 0)
        plan.sources[plan.count++] = sharedDescriptor;
    pid_t pid = fork();
    if (pid == 0)
        becomeGroupShell(plan);
    report.close();  // its end then tells that the shell is gone
    if (pid < 0)
        return CommandEnd::Failed;
    setpgid(pid, pid);  // unchecked: the child does so too; this only closes the race with a kill
    return watch(pid, status, options);
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
