#include "pchost/boxlike/oldkernel.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <sys/personality.h>
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
// right gives. Five later calls pass in the forms in which this PC's C
// library or an emulator makes old calls of them, which the box's own
// tools would make the old way: pipe() as pipe2 without flags, utimes() as
// utimensat, getrlimit() or setrlimit() as prlimit64 of this process; and
// qemu's forms of an emulated program's epoll_wait and accept: epoll_pwait
// without a signal mask, accept4 without flags. rseq passes: the C library
// registered it before the filter and aborts a new thread refused it; no
// code of ours calls it.
const sock_filter program[] = {
    load(archAt),                                // 0
    ifEqual(AUDIT_ARCH_X86_64, 1),               // 1 -> 3
    ret(allow),                                  // 2
    load(nrAt),                                  // 3
    ifAnyBit(x32Bit, 32),                        // 4 -> 37
    ifEqual(SYS_rseq, 9),                        // 5 -> 15
    ifEqual(SYS_utimensat, 8),                   // 6 -> 15
    ifEqual(SYS_pipe2, 8),                       // 7 -> 16
    ifEqual(SYS_prlimit64, 10),                  // 8 -> 19
    ifEqual(SYS_epoll_pwait, 12),                // 9 -> 22
    ifEqual(SYS_accept4, 17),                    // 10 -> 28
    ifAtLeast(firstLaterCall, 25),               // 11 -> 37
    ifEqual(SYS_linkat, 18),                     // 12 -> 31
    ifEqual(SYS_socket, 20),                     // 13 -> 34
    ifEqual(SYS_socketpair, 19),                 // 14 -> 34
    ret(allow),                                  // 15
    load(argAt(1)),                              // 16
    ifEqual(0, 18),                              // 17 -> 36
    ret(noSuchCall),                             // 18
    load(argAt(0)),                              // 19
    ifEqual(0, 15),                              // 20 -> 36
    ret(noSuchCall),                             // 21
    load(argAt(4)),                              // 22
    ifEqual(0, 1),                               // 23 -> 25
    ret(noSuchCall),                             // 24
    load(argAt(4) + 4),                          // 25: the high half of the mask's address
    ifEqual(0, 9),                               // 26 -> 36
    ret(noSuchCall),                             // 27
    load(argAt(3)),                              // 28
    ifEqual(0, 6),                               // 29 -> 36
    ret(noSuchCall),                             // 30
    load(argAt(4)),                              // 31
    ifAnyBit(atEmptyPath, 5),                    // 32 -> 38
    ret(allow),                                  // 33
    load(argAt(1)),                              // 34
    ifAnyBit(SOCK_CLOEXEC | SOCK_NONBLOCK, 2),   // 35 -> 38
    ret(allow),                                  // 36
    ret(noSuchCall),                             // 37
    ret(badFlag),                                // 38
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
    if (underSyscallFilter())
        return;
    // uname then says 2.6 too, as the box's does: a library that picks its
    // fallback by the kernel's version (OpenSSL's seeding from /dev/random
    // when getrandom is missing) takes the one the box takes.
    if (personality(PER_LINUX | UNAME26) == -1)
        throw std::runtime_error(std::string("personality: ") + std::strerror(errno));
    installFilter();
}
