#include "commands/interrupt.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t interruptSeen = 0;
struct sigaction previousInterrupt;

void noteInterrupt(int)
{
    interruptSeen = 1;
}

} // namespace

InterruptWatch::InterruptWatch()
{
    struct sigaction note = {};
    note.sa_handler = noteInterrupt;
    note.sa_flags = SA_RESTART;
    sigaction(SIGINT, &note, &previousInterrupt);
}

InterruptWatch::~InterruptWatch()
{
    sigaction(SIGINT, &previousInterrupt, nullptr);
}

bool InterruptWatch::interrupted()
{
    // While an installation holds the terminal's interrupt, it waits here.
    sigset_t pending;
    return interruptSeen || (sigpending(&pending) == 0 && sigismember(&pending, SIGINT) == 1);
}
