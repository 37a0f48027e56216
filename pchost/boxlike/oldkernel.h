#pragma once

// The system calls of the box's kernel, Linux 2.6.18, for this process and
// every process it starts, for the rest of its life: a seccomp filter
// answers every x86-64 system call added after 2.6.18 with ENOSYS, and the
// later flags of older calls (linkat's AT_EMPTY_PATH, socket's
// SOCK_CLOEXEC and SOCK_NONBLOCK) with EINVAL, as that kernel does; but
// for the forms in which this PC's C library makes old calls (pipe, utimes,
// getrlimit), so that Debian's tools run as the box's own would. Not taken
// away: O_CLOEXEC, which such a kernel ignores, and F_DUPFD_CLOEXEC, which
// it refuses but Debian's busybox ash needs. Other CPUs' calls pass (an
// emulated program's are the emulator's x86-64 calls). uname says 2.6.
// Throws
// std::runtime_error when the kernel refuses. A process already under a
// filter (the wrapper of an emulated run) keeps the one it has.
void enterOldKernel();

// Whether a seccomp filter governs this process.
bool underSyscallFilter();
