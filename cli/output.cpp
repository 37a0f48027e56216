#include "cli/output.h"

#include <csignal>
#include <fcntl.h>
#include <iostream>
#include <unistd.h>

OutputCheck::OutputCheck() : stdoutClosed(fcntl(STDOUT_FILENO, F_GETFD) < 0)
{
    std::signal(SIGPIPE, SIG_IGN);
}

int OutputCheck::finish(int status)
{
    bool written = std::cout.flush().good() && !stdoutClosed;
    if (written && std::cerr.flush().good())
        return status;
    if (!written)
        std::cerr << "nimbrel: could not write the output: standard output is " <<
            (stdoutClosed ? "closed" : "gone (a reader that ended, a full disk)") << "\n" << std::flush;
    return 1;
}
