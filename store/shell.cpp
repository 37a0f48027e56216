#include "store/shell.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <initializer_list>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "store/descriptor.h"

extern char** environ;

namespace {

constexpr int pollMilliseconds = 500;

// The child's shell runs the command in the background (where it ignores
// the terminal's interrupt and quit) of a process group of its own, and
// ends that whole group when the death signal comes: TERM, once the
// caller's thread is gone. A death signal alone would not reach what the
// shell starts.
const char groupShell[] = "trap 'kill -KILL 0' TERM; eval \"$1\" & wait $!";

int sharedDescriptor = -1;  // see SharedWithCommands

bool succeeded(int status)
{
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

sigset_t signalSet(std::initializer_list<int> numbers)
{
    sigset_t set;
    sigemptyset(&set);
    for (int number : numbers)
        sigaddset(&set, number);
    return set;
}

const sigset_t interrupts = signalSet({SIGINT, SIGQUIT});

// Blocks SIGNALS in the calling thread while it lives.
class BlockedSignals {
public:
    explicit BlockedSignals(const sigset_t& signals) { pthread_sigmask(SIG_BLOCK, &signals, &before); }
    ~BlockedSignals() { pthread_sigmask(SIG_SETMASK, &before, nullptr); }
    BlockedSignals(const BlockedSignals&) = delete;
    BlockedSignals& operator=(const BlockedSignals&) = delete;

private:
    sigset_t before;
};

// Between fork and exec only calls that are safe in the child of a thread.
[[noreturn]] void becomeGroupShell(const char* const argv[], pid_t parent, int shared)
{
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent)
        _exit(127);  // the caller is gone already
    if (shared >= 0)
        fcntl(shared, F_SETFD, 0);
    struct sigaction action = {};
    action.sa_handler = SIG_IGN;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGQUIT, &action, nullptr);
    action.sa_handler = SIG_DFL;  // an ignored TERM could not be trapped
    sigaction(SIGTERM, &action, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execve("/bin/sh", const_cast<char* const*>(argv), environ);
    _exit(127);
}

std::optional<pid_t> spawnShell(const eString& line)
{
    const char* const argv[] = {"sh", "-c", groupShell, "sh", line.c_str(), nullptr};
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid == 0)
        becomeGroupShell(argv, parent, sharedDescriptor);
    return pid > 0 ? std::optional<pid_t>(pid) : std::nullopt;
}

// A descriptor that becomes readable when PID ends; empty on kernels
// without one, which are then asked in short naps.
Descriptor exitNotice(pid_t pid)
{
#ifdef SYS_pidfd_open
    return Descriptor(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
#else
    (void)pid;
    return Descriptor();
#endif
}

int reap(pid_t pid, int options, int& status)
{
    pid_t got;
    while ((got = waitpid(pid, &status, options)) < 0 && errno == EINTR) {
    }
    if (got < 0)
        status = -1;  // reaped elsewhere: its status is lost
    return got;
}

// The status of the child PID once it has ended within MS milliseconds;
// empty while it runs.
std::optional<int> endWithin(pid_t pid, const Descriptor& notice, int ms)
{
    int status = -1;
    if (notice) {
        struct pollfd watch = {notice.get(), POLLIN, 0};
        int ready = poll(&watch, 1, ms);
        if (ready == 0 || (ready < 0 && errno == EINTR))
            return std::nullopt;
        reap(pid, 0, status);
        return status;
    }
    for (int waited = 0, nap = 1;; waited += nap, nap = std::min(nap * 2, 50)) {
        if (reap(pid, WNOHANG, status) != 0)
            return status;
        if (waited >= ms)
            return std::nullopt;
        usleep(nap * 1000);
    }
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

bool runCommand(const eString& line)
{
    return runPolled(line, [] {});
}

bool runPolled(const eString& line, const std::function<void()>& tick, const std::function<bool()>& stop)
{
    BlockedSignals childStatus(signalSet({SIGCHLD}));
    std::optional<pid_t> pid = spawnShell(line);
    if (!pid)
        return false;
    Descriptor notice = exitNotice(*pid);
    std::optional<int> status;
    bool stopped = false;
    while (!(status = endWithin(*pid, notice, pollMilliseconds))) {
        tick();
        if (!stopped && stop && stop())
            stopped = kill(-*pid, SIGTERM) == 0;  // its process group: the shell leads it
    }
    return !stopped && succeeded(*status);
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
