#include "cli/console.h"

#include <csignal>
#include <iostream>
#include <unistd.h>

#include "cli/ownstderr.h"

namespace {

volatile std::sig_atomic_t interruptSeen = 0;
struct sigaction previousInterrupt;

void noteInterrupt(int)
{
    interruptSeen = 1;
}

} // namespace

ProgressLine::ProgressLine()
    : terminal(isatty(OwnStderr::descriptor()) == 1)
{
}

ProgressLine::~ProgressLine()
{
    if (drawn)
        std::cerr << "\r\033[K" << std::flush;
}

ProgressShown ProgressLine::shown()
{
    if (!terminal)
        return nullptr;
    return [this](const eString& done) {
        // The status line's own words, redrawn in place.
        std::cerr << "\rnimbrel: please wait !!!" << (done.empty() ? "" : " ") << done << "\033[K" << std::flush;
        drawn = true;
    };
}

std::string printable(std::string text)
{
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < ' ' || c == 0x7f)
            c = '?';
    }
    return text;
}

bool canAsk()
{
    return isatty(STDIN_FILENO) == 1;
}

bool askYes(const std::string& question)
{
    std::cerr << "nimbrel: " << question << " [yes/no] " << std::flush;
    std::string answer;
    return std::getline(std::cin, answer) && answer == "yes";
}

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
