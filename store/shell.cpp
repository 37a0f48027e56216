#include "store/shell.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "store/descriptor.h"

extern char** environ;

namespace {

constexpr int pollMilliseconds = 500;

bool succeeded(int status)
{
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// As system() does, the caller ignores the terminal's interrupt and quit
// while it waits: they end the child, whose failure is then reported.
class IgnoredInterrupts {
public:
    IgnoredInterrupts()
    {
        struct sigaction ignore = {};
        ignore.sa_handler = SIG_IGN;
        sigaction(SIGINT, &ignore, &interrupt);
        sigaction(SIGQUIT, &ignore, &quit);
    }
    ~IgnoredInterrupts()
    {
        sigaction(SIGINT, &interrupt, nullptr);
        sigaction(SIGQUIT, &quit, nullptr);
    }
    IgnoredInterrupts(const IgnoredInterrupts&) = delete;
    IgnoredInterrupts& operator=(const IgnoredInterrupts&) = delete;

private:
    struct sigaction interrupt, quit;
};

std::optional<pid_t> spawnShell(const eString& line)
{
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGQUIT);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    char* const argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"), const_cast<char*>(line.c_str()),
        nullptr};
    pid_t pid;
    int error = posix_spawn(&pid, "/bin/sh", nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    return error == 0 ? std::optional<pid_t>(pid) : std::nullopt;
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
    return succeeded(std::system(line.c_str()));
}

bool runPolled(const eString& line, const std::function<void()>& tick)
{
    IgnoredInterrupts ignored;
    std::optional<pid_t> pid = spawnShell(line);
    if (!pid)
        return false;
    Descriptor notice = exitNotice(*pid);
    std::optional<int> status;
    while (!(status = endWithin(*pid, notice, pollMilliseconds)))
        tick();
    return succeeded(*status);
}
