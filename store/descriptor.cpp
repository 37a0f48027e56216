#include "store/descriptor.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

int closeOnExec(int fd)
{
    int flags = fd < 0 ? -1 : fcntl(fd, F_GETFD);
    if (flags < 0 || (!(flags & FD_CLOEXEC) && fcntl(fd, F_SETFD, flags | FD_CLOEXEC) != 0)) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    return fd;
}

Descriptor::Descriptor(int fd)
    : fd(fd)
{
}

Descriptor::Descriptor(Descriptor&& other) noexcept
    : fd(std::exchange(other.fd, -1))
{
}

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept
{
    std::swap(fd, other.fd);
    return *this;
}

Descriptor::~Descriptor()
{
    close();  // where a failed close matters, the owner has called close() itself
}

int Descriptor::get() const
{
    return fd;
}

Descriptor::operator bool() const
{
    return fd >= 0;
}

bool Descriptor::close()
{
    if (fd < 0)
        return false;
    return ::close(std::exchange(fd, -1)) == 0;
}

int duplicateNoInherit(int fd, int lowest)
{
    int copy = fcntl(fd, F_DUPFD_CLOEXEC, lowest);
    if (copy < 0 && errno == EINVAL)
        copy = fcntl(fd, F_DUPFD, lowest);
    return closeOnExec(copy);
}

namespace {

// ENDS made close-on-exec; both closed when either cannot be.
bool closeOnExecBoth(int ends[2])
{
    ends[0] = closeOnExec(ends[0]);
    ends[1] = closeOnExec(ends[1]);
    if (ends[0] >= 0 && ends[1] >= 0)
        return true;
    for (int i = 0; i < 2; ++i) {
        if (ends[i] >= 0)
            ::close(ends[i]);
    }
    return false;
}

} // namespace

bool makePipe(int ends[2])
{
    if (pipe2(ends, O_CLOEXEC) == 0)
        return true;
    // The system call itself: a C library made for newer kernels builds
    // pipe() on pipe2 too.
#ifdef SYS_pipe
    if (errno != ENOSYS || syscall(SYS_pipe, ends) != 0)
        return false;
#else
    return false;  // a CPU with no pipe call has pipe2 on every kernel
#endif
    return closeOnExecBoth(ends);
}

bool makeSocketPair(int ends[2])
{
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) == 0)
        return true;
    // Before Linux 2.6.27 the flag is an unknown type: EINVAL.
    if ((errno != EINVAL && errno != ENOSYS) || socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0)
        return false;
    return closeOnExecBoth(ends);
}

namespace {

// Puts all SIZE bytes of DATA with PUT (write or send), again after a signal.
template <class Put>
bool putAll(const char* data, size_t size, Put put)
{
    for (size_t done = 0; done < size;) {
        ssize_t count = put(data + done, size - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        done += static_cast<size_t>(count);
    }
    return true;
}

} // namespace

bool writeAll(int fd, const char* data, size_t size)
{
    return putAll(data, size, [fd](const char* at, size_t left) { return write(fd, at, left); });
}

bool writeAll(int fd, const std::string& text)
{
    return writeAll(fd, text.data(), text.size());
}

bool sendAll(int fd, const std::string& text)
{
    return putAll(text.data(), text.size(),
        [fd](const char* at, size_t left) { return send(fd, at, left, MSG_NOSIGNAL); });
}
