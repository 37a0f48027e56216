// The box's PowerPC kernel: Linux before 2.6.37 has its socket calls on
// this CPU only through socketcall, and the C library (built for 3.2 and
// later) makes each directly, which such a kernel answers with ENOSYS. The
// link (web/CMakeLists.txt) hands each call serve's sockets make to these
// first (fetch's connect too): the C library's call, and socketcall where the kernel lacks it.
#include <cerrno>
#include <initializer_list>
#include <linux/net.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

long socketCall(int call, std::initializer_list<unsigned long> arguments)
{
    unsigned long words[6] = {};
    int i = 0;
    for (unsigned long argument : arguments)
        words[i++] = argument;
    return syscall(SYS_socketcall, call, words);
}

template <typename T>
unsigned long word(T value)
{
    return (unsigned long)value;
}

// RESULT of the direct call, or socketcall's where the kernel has no such call.
template <typename Result>
Result orOld(Result result, int call, std::initializer_list<unsigned long> arguments)
{
    return result == -1 && errno == ENOSYS ? static_cast<Result>(socketCall(call, arguments)) : result;
}

} // namespace

extern "C" {

int __real_socket(int, int, int);
int __real_connect(int, const sockaddr*, socklen_t);
int __real_bind(int, const sockaddr*, socklen_t);
int __real_listen(int, int);
int __real_accept(int, sockaddr*, socklen_t*);
int __real_getpeername(int, sockaddr*, socklen_t*);
int __real_shutdown(int, int);
ssize_t __real_recv(int, void*, size_t, int);
ssize_t __real_send(int, const void*, size_t, int);
ssize_t __real___sendmsg64(int, const msghdr*, int);
int __real___setsockopt64(int, int, int, const void*, socklen_t);

int __wrap_socket(int domain, int type, int protocol)
{
    return orOld(__real_socket(domain, type, protocol), SYS_SOCKET, {word(domain), word(type), word(protocol)});
}

int __wrap_connect(int fd, const sockaddr* address, socklen_t length)
{
    return orOld(__real_connect(fd, address, length), SYS_CONNECT, {word(fd), word(address), word(length)});
}

int __wrap_bind(int fd, const sockaddr* address, socklen_t length)
{
    return orOld(__real_bind(fd, address, length), SYS_BIND, {word(fd), word(address), word(length)});
}

int __wrap_listen(int fd, int backlog)
{
    return orOld(__real_listen(fd, backlog), SYS_LISTEN, {word(fd), word(backlog)});
}

int __wrap_accept(int fd, sockaddr* address, socklen_t* length)
{
    return orOld(__real_accept(fd, address, length), SYS_ACCEPT, {word(fd), word(address), word(length)});
}

int __wrap_getpeername(int fd, sockaddr* address, socklen_t* length)
{
    return orOld(__real_getpeername(fd, address, length), SYS_GETPEERNAME, {word(fd), word(address), word(length)});
}

int __wrap_shutdown(int fd, int how)
{
    return orOld(__real_shutdown(fd, how), SYS_SHUTDOWN, {word(fd), word(how)});
}

ssize_t __wrap_recv(int fd, void* data, size_t size, int flags)
{
    return orOld(__real_recv(fd, data, size, flags), SYS_RECV, {word(fd), word(data), word(size), word(flags)});
}

ssize_t __wrap_send(int fd, const void* data, size_t size, int flags)
{
    return orOld(__real_send(fd, data, size, flags), SYS_SEND, {word(fd), word(data), word(size), word(flags)});
}

// The 64-bit time forms of sendmsg and setsockopt, as this build calls
// them; serve passes no time through either.
ssize_t __wrap___sendmsg64(int fd, const msghdr* message, int flags)
{
    return orOld(__real___sendmsg64(fd, message, flags), SYS_SENDMSG, {word(fd), word(message), word(flags)});
}

int __wrap___setsockopt64(int fd, int level, int name, const void* value, socklen_t length)
{
    return orOld(__real___setsockopt64(fd, level, name, value, length), SYS_SETSOCKOPT,
        {word(fd), word(level), word(name), word(value), word(length)});
}

} // extern "C"
