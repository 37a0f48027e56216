#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <csignal>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

#include "pchost/boxlike/oldkernel.h"
#include "store/descriptor.h"
#include "store/durable.h"

namespace {

int ends[2];
epoll_event events[1];
sigset_t noSignals;
// Each call, and what errno it fails with on the box's kernel (0: it works).
const std::tuple<const char*, bool (*)(), int> calls[] = {
    {"pipe2 with O_CLOEXEC", [] { return pipe2(ends, O_CLOEXEC) == 0; }, ENOSYS},
    {"pipe2 as the C library's pipe", [] { return pipe2(ends, 0) == 0; }, 0},
    {"syncfs", [] { return syscall(SYS_syncfs, 0) == 0; }, ENOSYS},
    {"accept4 with SOCK_CLOEXEC", [] { return syscall(SYS_accept4, -1, nullptr, nullptr, SOCK_CLOEXEC) == 0; }, ENOSYS},
    {"accept4 as qemu's accept", [] { return syscall(SYS_accept4, -1, nullptr, nullptr, 0) == 0; }, EBADF},
    {"linkat with AT_EMPTY_PATH", [] { return linkat(0, "", AT_FDCWD, "/tmp/l", 0x1000) == 0; }, EINVAL},
    {"socket with SOCK_CLOEXEC", [] { return socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0) >= 0; }, EINVAL},
    {"socket", [] { return socket(AF_UNIX, SOCK_STREAM, 0) >= 0; }, 0},
    {"epoll_pwait with a signal mask", [] {
        return syscall(SYS_epoll_pwait, epoll_create(1), events, 1, 0, &noSignals, 8) >= 0; }, ENOSYS},
    {"epoll_pwait as qemu's epoll_wait", [] {
        return syscall(SYS_epoll_pwait, epoll_create(1), events, 1, 0, nullptr, 8) >= 0; }, 0},
    // Ours, each on its older way.
    {"makePipe", [] { return makePipe(ends); }, 0},
    {"duplicateNoInherit", [] { return fcntl(duplicateNoInherit(0, 50), F_GETFD) == FD_CLOEXEC; }, 0},
    {"syncFileSystem", [] { return syncFileSystem("/tmp"); }, 0},
};

} // namespace

// In a process on the box's kernel the later calls fail as that kernel
// fails them, and ours find their way round; under an emulator too.
TEST(OldKernel, AnswersAsLinux2618AndOursFallBack)
{
#if !defined(__x86_64__)
    if (!underSyscallFilter())
        GTEST_SKIP() << "the filter is x86-64's: this emulated run has none around it";
#endif
    for (const auto& [name, call, expected] : calls) {
        int report[2];
        ASSERT_EQ(pipe(report), 0);
        pid_t pid = fork();
        if (pid == 0) {
            enterOldKernel();
            int answer = call() ? 0 : errno;
            _exit(write(report[1], &answer, sizeof answer) == sizeof answer ? 0 : 1);
        }
        close(report[1]);
        int answer = -1;
        EXPECT_EQ(read(report[0], &answer, sizeof answer), static_cast<ssize_t>(sizeof answer)) << name;
        close(report[0]);
        waitpid(pid, nullptr, 0);
        EXPECT_EQ(answer, expected) << name;
    }
}
