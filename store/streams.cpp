#include "store/streams.h"

#include <fcntl.h>
#include <unistd.h>

StandardStreams::StandardStreams()
{
    // Each open takes the lowest free number: the first closed one.
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) >= 0)
            continue;
        int null = open("/dev/null", O_RDWR);
        if (null == fd)
            opened[fd] = true;
        else if (null >= 0)
            close(null);  // a lower one was taken meanwhile by another thread: leave it
    }
}

StandardStreams::~StandardStreams()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (opened[fd])
            close(fd);
    }
}
