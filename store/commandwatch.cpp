#include "store/commandwatch.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int pollMilliseconds = 500;
// How long a command's group, sent SIGKILL, is given to go before it is
// left to the kernel (a mount on a dying disk may never go).
constexpr int killedGraceMs = 2000;

// The end of the child PID, reaped if it is still ours to reap; WAIT
// whether to wait for it.
void reap(pid_t pid, bool wait)
{
    int status;
    while (waitpid(pid, &status, wait ? 0 : WNOHANG) < 0 && errno == EINTR) {
    }
}

// Reads what is there on the status pipe into TEXT; true at its end.
bool readStatus(int fd, std::string& text)
{
    char buffer[32];
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0)
        return errno != EINTR && errno != EAGAIN;
    if (text.size() < 64)
        text.append(buffer, static_cast<size_t>(got));
    return got == 0;
}

int msSince(CommandClock::time_point start)
{
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(CommandClock::now() - start).count());
}

// Ends the command's group when it is to stop or is over its limit; how it
// was ended, if it was.
std::optional<CommandEnd> forcedEnd(pid_t pid, const CommandOptions& options, CommandClock::time_point start)
{
    if (options.stop && options.stop() && kill(-pid, SIGTERM) == 0)
        return CommandEnd::Stopped;
    if (options.limitMs > 0 && msSince(start) >= options.limitMs && kill(-pid, SIGKILL) == 0)
        return CommandEnd::TimedOut;
    return std::nullopt;
}

} // namespace

Watched watchCommand(pid_t pid, int status, const CommandOptions& options, CommandClock::time_point start,
    bool lineEnds)
{
    std::string text;
    CommandClock::time_point forcedAt;
    std::optional<CommandEnd> forced;
    bool gone = false;
    // Once forced, only the shell's end tells that its group has gone.
    while (!gone && (forced || !lineEnds || text.find('\n') == std::string::npos)) {
        int wait = pollMilliseconds;
        if (options.limitMs > 0 && !forced)
            wait = std::clamp(options.limitMs - msSince(start), 1, pollMilliseconds);
        struct pollfd watch = {status, POLLIN, 0};
        int ready = poll(&watch, 1, wait);
        if (ready > 0) {
            gone = readStatus(status, text);
            continue;
        }
        if (ready < 0 && errno == EINTR)
            continue;
        if (options.tick)
            options.tick();
        if (!forced && (forced = forcedEnd(pid, options, start)))
            forcedAt = CommandClock::now();
        else if (forced && msSince(forcedAt) >= killedGraceMs)
            break;
    }
    if (gone || forced)
        reap(pid, gone);
    if (forced)
        return {*forced, true};
    return {text == "0\n" ? CommandEnd::Succeeded : CommandEnd::Failed, gone};
}
