#include "cli/console.h"

#include <iostream>
#include <unistd.h>

#include "cli/ownstderr.h"

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
