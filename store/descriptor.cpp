#include "store/descriptor.h"

#include <unistd.h>
#include <utility>

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
