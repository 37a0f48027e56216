#include "cli/ownstderr.h"

#include <cerrno>
#include <fcntl.h>
#include <iostream>
#include <unistd.h>

#include "store/descriptor.h"

namespace {

int ownDescriptor = STDERR_FILENO;

} // namespace

OwnStderr::OwnStderr()
{
    buffer.fd = duplicateNoInherit(STDERR_FILENO, 3);
    int null = closeOnExec(open("/dev/null", O_WRONLY | O_CLOEXEC));
    if (buffer.fd < 0 || null < 0 || dup2(null, STDERR_FILENO) < 0) {
        // Unchecked: without a copy, stderr stays shared as it was.
        if (buffer.fd >= 0)
            close(buffer.fd);
        if (null >= 0)
            close(null);
        buffer.fd = -1;
        return;
    }
    close(null);
    ownDescriptor = buffer.fd;
    previous = std::cerr.rdbuf(&buffer);
}

OwnStderr::~OwnStderr()
{
    if (buffer.fd < 0)
        return;
    std::cerr.rdbuf(previous);
    dup2(buffer.fd, STDERR_FILENO);
    close(buffer.fd);
    ownDescriptor = STDERR_FILENO;
}

int OwnStderr::descriptor()
{
    return ownDescriptor;
}

OwnStderr::Buffer::int_type OwnStderr::Buffer::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    char one = traits_type::to_char_type(c);
    return xsputn(&one, 1) == 1 ? c : traits_type::eof();
}

// Unbuffered: each line is out before the procedure's next step.
std::streamsize OwnStderr::Buffer::xsputn(const char* text, std::streamsize size)
{
    std::streamsize done = 0;
    while (done < size) {
        ssize_t written = write(fd, text + done, size - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            break;
        done += written;
    }
    return done;
}
