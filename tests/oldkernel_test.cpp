#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "pchost/boxlike/oldkernel.h"
#include "store/descriptor.h"
#include "store/durable.h"

namespace {

// errno of a call that fails, 0 of one that works.
int errnoOf(bool worked) { return worked ? 0 : errno; }

struct Call {
    const char* name;
    std::function<bool()> call;
    int expected;
};

int ends[2];
const Call calls[] = {
    {"pipe2 with O_CLOEXEC", [] { return pipe2(ends, O_CLOEXEC) == 0; }, ENOSYS},
    {"pipe2 as the C library's pipe", [] { return pipe2(ends, 0) == 0; }, 0},
    {"syncfs", [] { return syscall(SYS_syncfs, 0) == 0; }, ENOSYS},
    {"linkat with AT_EMPTY_PATH", [] { return linkat(0, "", AT_FDCWD, "/tmp/l", 0x1000) == 0; }, EINVAL},
    {"fcntl F_DUPFD_CLOEXEC", [] { return fcntl(0, F_DUPFD_CLOEXEC, 50) >= 0; }, EINVAL},
    {"socket with SOCK_CLOEXEC", [] { return socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0) >= 0; }, EINVAL},
    {"socket", [] { return socket(AF_UNIX, SOCK_STREAM, 0) >= 0; }, 0},
    {"accept4", [] { return syscall(SYS_accept4, -1, nullptr, nullptr, 0) == 0; }, ENOSYS},
    // Ours, each on its older way.
    {"makePipe", [] { return makePipe(ends); }, 0},
    {"duplicateNoInherit", [] { int fd = duplicateNoInherit(0, 50); return fd >= 50 && (fcntl(fd, F_GETFD) & FD_CLOEXEC); }, 0},
    {"syncFileSystem", [] { return syncFileSystem("/tmp"); }, 0},
};

} // namespace

// What each call answers in a process on the box's kernel: the later ones
// fail as that kernel fails them, and ours find their way round.
TEST(OldKernel, AnswersAsLinux2618AndOursFallBack)
{
#if !defined(__x86_64__)
    GTEST_SKIP() << "the filter is x86-64's";
#endif
    for (const Call& call : calls) {
        int report[2];
        ASSERT_EQ(pipe(report), 0);
        pid_t pid = fork();
        if (pid == 0) {
            enterOldKernel();
            int answer = errnoOf(call.call());
            _exit(write(report[1], &answer, sizeof answer) == sizeof answer ? 0 : 1);
        }
        close(report[1]);
        int answer = -1;
        EXPECT_EQ(read(report[0], &answer, sizeof answer), static_cast<ssize_t>(sizeof answer)) << call.name;
        close(report[0]);
        waitpid(pid, nullptr, 0);
        EXPECT_EQ(answer, call.expected) << call.name;
    }
}
