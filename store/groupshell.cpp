#include "store/groupshell.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <pthread.h>
#include <sched.h>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

extern char** environ;

static_assert(statusDescriptor == 3, "the group shell's script names it");

// The child's shell runs the command in the background of a process group
// of its own and ends that whole group when TERM comes (the death signal,
// once the caller's thread is gone, or a stop): a signal to the shell alone
// would not reach what it starts, and a trap runs only between commands.
// It then writes the command's status where the caller reads it; the
// command does not get that descriptor, so what it leaves running keeps
// nobody waiting. The line stands in the script itself, not behind eval:
// the background group then execs its last command in its own place, one
// process fewer for every command (about a millisecond on a PC, more on
// the box's CPU). The newline ends a comment the line may close with.
const char groupShellTrap[] = "trap 'kill -KILL 0' TERM";

std::string groupShellCommand(const char* line)
{
    return std::string("{ ") + line + "\n} 3>&- & wait $!; echo $? >&3";
}

std::string groupShellScript(const char* line)
{
    return groupShellTrap + std::string("; ") + groupShellCommand(line);
}

namespace {

// Everything below runs in the child before its exec, in the memory of a
// host that may have other threads: only async-signal-safe calls, and no
// write but to its own stack.

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

bool isSource(const GroupShellPlan& plan, int fd)
{
    return fd == plan.input || std::find(plan.sources, plan.sources + plan.count, fd) != plan.sources + plan.count;
}

// Standard input, output and error: the caller's, unless closed or one of
// the descriptors moved into place below (with the caller's stdio closed,
// a pipe of ours may have got its number); /dev/null then, so that no
// output lands in something else and no file the command opens becomes
// its standard output.
void ownStandardStreams(const GroupShellPlan& plan)
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

// The limit of descriptors, 1 << 16 when unknown. A C library made for
// newer kernels asks prlimit64 (Linux 2.6.36); the older call answers on
// every kernel.
int descriptorLimit()
{
    struct rlimit limit;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0)
        return limit.rlim_cur == RLIM_INFINITY ? 1 << 20 : static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 1 << 20));
#if defined(SYS_ugetrlimit) || defined(SYS_getrlimit)
    unsigned long old[2];  // the kernel's own struct rlimit
#ifdef SYS_ugetrlimit
    long got = syscall(SYS_ugetrlimit, RLIMIT_NOFILE, old);
#else
    long got = syscall(SYS_getrlimit, RLIMIT_NOFILE, old);
#endif
    if (got == 0)
        return static_cast<int>(std::min<unsigned long>(old[0], 1 << 20));
#endif
    return 1 << 16;
}

// Closes each descriptor from FIRST on that /proc lists as open; false
// without /proc. The entries are read with the system call itself:
// readdir may allocate.
bool closeListed(int first)
{
    int dir = open("/proc/self/fd", O_RDONLY | O_DIRECTORY);
    if (dir < 0)
        return false;
    alignas(8) char entries[4096];
    for (long got; (got = syscall(SYS_getdents64, dir, entries, sizeof entries)) > 0;) {
        for (long at = 0; at < got;) {
            unsigned short length;  // linux_dirent64: inode 8, offset 8, length 2, type 1, name
            std::memcpy(&length, entries + at + 16, sizeof length);
            int fd = 0;
            for (const char* digit = entries + at + 19; *digit >= '0' && *digit <= '9'; ++digit)
                fd = fd * 10 + (*digit - '0');
            if (fd >= first && fd != dir)  // "." and ".." read as 0
                close(fd);
            at += length;
        }
    }
    close(dir);
    return true;
}

// A kernel before 5.9 has no close_range: the descriptors that are open,
// not every number up to the limit (20,000 calls on a PC, for each command).
void closeFrom(int first)
{
#ifdef SYS_close_range
    if (syscall(SYS_close_range, first, ~0U, 0) == 0)
        return;
#endif
    if (closeListed(first))
        return;
    for (int fd = first, end = descriptorLimit(); fd < end; ++fd)
        close(fd);
}

} // namespace

[[noreturn]] void becomeGroupShell(const GroupShellPlan& plan)
{
    setpgid(0, 0);
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != plan.parent)
        _exit(127);  // the caller is gone already
    defaultSignals();
    umask(0);  // a copy keeps the modes of what it copies, whatever the host's umask
    // Moved above their places first: a source may hold another's place.
    int end = statusDescriptor + plan.count;
    int moved[1 + maxHandedDescriptors + 1];
    for (int i = 0; i < plan.count; ++i) {
        if ((moved[i] = fcntl(plan.sources[i], F_DUPFD, end)) < 0)
            _exit(127);
    }
    int input = plan.input >= 0 ? fcntl(plan.input, F_DUPFD, end) : -1;
    if (plan.input >= 0 && input < 0)
        _exit(127);
    ownStandardStreams(plan);
    for (int i = 0; i < plan.count; ++i) {
        if (dup2(moved[i], statusDescriptor + i) < 0)
            _exit(127);
    }
    if (input >= 0 && dup2(input, 0) < 0)
        _exit(127);
    closeFrom(end);
    const char* const command[] = {"sh", "-c", plan.script, nullptr};
    const char* const reading[] = {"sh", "-s", nullptr};
    execve("/bin/sh", const_cast<char* const*>(plan.script ? command : reading), environ);
    _exit(127);
}

// The caller's side from here on.

#ifdef __SANITIZE_ADDRESS__
pid_t spawnGroupShell(const GroupShellPlan& plan)
{
    // The sanitizer's shadow of a shared stack would outlive the child.
    pid_t pid = fork();
    if (pid == 0)
        becomeGroupShell(plan);
    return pid;
}
#else
namespace {

// The child's stack, its own: the caller's stays as the caller left it.
constexpr size_t childStackBytes = 64 * 1024;

int groupShellMain(void* plan)
{
    becomeGroupShell(*static_cast<const GroupShellPlan*>(plan));
}

} // namespace

pid_t spawnGroupShell(const GroupShellPlan& plan)
{
    std::unique_ptr<char[]> stack(new (std::nothrow) char[childStackBytes]);
    if (!stack)
        return -1;
    // Held until the child has set every handler to the default: a handler
    // of the host's run in the child would work on the host's memory.
    sigset_t all, before;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &before);
    pid_t pid = clone(groupShellMain, stack.get() + childStackBytes, CLONE_VM | CLONE_VFORK | SIGCHLD,
        const_cast<GroupShellPlan*>(&plan));
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return pid;
}
#endif
