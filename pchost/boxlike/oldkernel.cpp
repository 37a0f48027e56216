#include "pchost/boxlike/oldkernel.h"

#include <cerrno>
#include <fstream>
#include <stdexcept>
#include <string>
#include <sys/prctl.h>

#if defined(__x86_64__)
#include <cstddef>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/socket.h>
#include <sys/syscall.h>

namespace {

// x86-64's table ends at move_pages (279) in Linux 2.6.18.
constexpr unsigned firstLaterCall = 280;
constexpr unsigned x32Bit = 0x40000000;
constexpr unsigned atEmptyPath = 0x1000;  // linkat's, from Linux 2.6.39

constexpr unsigned nrAt = offsetof(seccomp_data, nr);
constexpr unsigned archAt = offsetof(seccomp_data, arch);
// The low half of argument N: x86-64 is little-endian.
constexpr unsigned argAt(int n) { return offsetof(seccomp_data, args) + 8 * n; }

constexpr sock_filter load(unsigned at) { return BPF_STMT(BPF_LD | BPF_W | BPF_ABS, at); }
constexpr sock_filter ret(unsigned value) { return BPF_STMT(BPF_RET | BPF_K, value); }
// Each test skips SKIP instructions when it holds, none when not.
constexpr sock_filter ifEqual(unsigned value, unsigned char skip) { return BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, value, skip, 0); }
constexpr sock_filter ifAtLeast(unsigned value, unsigned char skip) { return BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, value, skip, 0); }
constexpr sock_filter ifAnyBit(unsigned bits, unsigned char skip) { return BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, bits, skip, 0); }

constexpr unsigned allow = SECCOMP_RET_ALLOW;
constexpr unsigned noSuchCall = SECCOMP_RET_ERRNO | ENOSYS;
constexpr unsigned badFlag = SECCOMP_RET_ERRNO | EINVAL;

// The skips count to the instructions whose number the comment at the
// right gives. Three later calls pass in the forms in which this PC's C
// library makes old calls of them, which the box's own tools would make
// the old way: pipe() as pipe2 without flags, utimes() as utimensat, and
// getrlimit() or setrlimit() as prlimit64 of this process. rseq passes:
// the C library registered it before the filter and aborts a new thread
// refused it; no code of ours calls it.
const sock_filter program[] = {
    load(archAt),                                // 0
    ifEqual(AUDIT_ARCH_X86_64, 1),               // 1 -> 3
    ret(allow),                                  // 2
    load(nrAt),                                  // 3
    ifAnyBit(x32Bit, 21),                        // 4 -> 26
    ifEqual(SYS_rseq, 7),                        // 5 -> 13
    ifEqual(SYS_utimensat, 6),                   // 6 -> 13
    ifEqual(SYS_pipe2, 6),                       // 7 -> 14
    ifEqual(SYS_prlimit64, 8),                   // 8 -> 17
    ifAtLeast(firstLaterCall, 16),               // 9 -> 26
    ifEqual(SYS_linkat, 9),                      // 10 -> 20
    ifEqual(SYS_socket, 11),                     // 11 -> 23
    ifEqual(SYS_socketpair, 10),                 // 12 -> 23
    ret(allow),                                  // 13
    load(argAt(1)),                              // 14
    ifEqual(0, 9),                               // 15 -> 25
    ret(noSuchCall),                             // 16
    load(argAt(0)),                              // 17
    ifEqual(0, 6),                               // 18 -> 25
    ret(noSuchCall),                             // 19
    load(argAt(4)),                              // 20
    ifAnyBit(atEmptyPath, 5),                    // 21 -> 27
    ret(allow),                                  // 22
    load(argAt(1)),                              // 23
    ifAnyBit(SOCK_CLOEXEC | SOCK_NONBLOCK, 2),   // 24 -> 27
    ret(allow),                                  // 25
    ret(noSuchCall),                             // 26
    ret(badFlag),                                // 27
};

void installFilter()
{
    sock_fprog whole = {static_cast<unsigned short>(sizeof program / sizeof *program),
        const_cast<sock_filter*>(program)};
    // Root may filter itself outright; anyone else only without new privileges.
    if (prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &whole) == 0)
        return;
    if (errno == EACCES && prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
        prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &whole) == 0)
        return;
    throw std::runtime_error("the kernel refuses a seccomp filter");
}

} // namespace
#else
namespace {

[[noreturn]] void installFilter()
{
    throw std::runtime_error("the old kernel's system calls are filtered for x86-64 only: "
        "run an emulated build under pchost's old-kernel wrapper");
}

} // namespace
#endif

bool underSyscallFilter()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("Seccomp:", 0) == 0)
            return line.find('2') != std::string::npos;
    }
    return false;
}

void enterOldKernel()
{
    if (!underSyscallFilter())
        installFilter();
}
