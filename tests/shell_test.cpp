#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <tuple>

#include "store/shell.h"
#include "tests/support.h"

TEST(ShellQuote, ValuesComeBackAsOneWordUnchanged)
{
    for (const char* value : {"", "/hdd", "a b.img", "x;touch pwned.img", "$(touch pwned).img", "`touch pwned`",
             "it's.img", "''", "tab\there", "line\nend", "back\\slash \"quoted\" *?[a] ~ & | < > #"}) {
        EXPECT_EQ(capture("set -- " + shellQuote(value) + "; printf %s$# \"$1\""), std::string(value) + "1");
        EXPECT_FALSE(pathExists("pwned")) << value;
    }
}

// The shell wraps status 256 to 0; a signal is a failure. A host whose
// SIGCHLD handler reaps every child takes the status of none, short or long.
TEST(RunCommand, OnlyAnExitWithZeroSucceedsWhateverTheHostReaps)
{
    struct sigaction reaper = {}, before;
    reaper.sa_handler = [](int) {
        int saved = errno;
        while (waitpid(-1, nullptr, WNOHANG) > 0) {
        }
        errno = saved;
    };
    sigaction(SIGCHLD, &reaper, &before);
    const std::pair<const char*, bool> cases[] = {{"true", true}, {"exit 0", true}, {"exit 256", true},
        {"false", false}, {"exit 3", false}, {"no-such-command-here 2>/dev/null", false},
        {"kill -TERM $$", false}, {"kill -KILL $$", false}, {"sleep 0.3", true}, {"sleep 0.3; exit 3", false},
        {"sleep 1.2", true}, {"sleep 1.2; false", false}};
    for (const auto& [line, succeeds] : cases)
        EXPECT_EQ(runCommand(line), succeeds) << line;
    sigaction(SIGCHLD, &before, nullptr);
}

TEST(RunPolled, TicksWhileTheChildRunsAndReturnsWhenItEnds)
{
    // line, ticks at least and at most, seconds at most; a process left
    // behind keeps nothing waiting
    const std::tuple<const char*, int, int, double> cases[] = {
        {"sleep 1.3", 2, 3, 2.5}, {"true", 0, 0, 0.4},
        {"sleep 60 >/dev/null 2>&1 & echo $! >/tmp/left.pid", 0, 0, 0.4}};
    for (const auto& [line, least, most, seconds] : cases) {
        int ticks = 0;
        auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(runPolled(line, [&ticks] { ++ticks; }));
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        EXPECT_LE(took.count(), seconds) << line;
        EXPECT_GE(ticks, least) << line;
        EXPECT_LE(ticks, most) << line;
    }
    shell("kill $(cat /tmp/left.pid)");
}

TEST(RunPolled, StoppedAtATickItEndsWithAllItStartedAndFails)
{
    auto start = std::chrono::steady_clock::now();
    int ticks = 0;
    EXPECT_FALSE(runPolled("sleep 30 & echo $! >/tmp/inner.pid; wait", [&ticks] { ++ticks; },
        [&ticks] { return ticks == 2; }));
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took.count(), 5.0);
    EXPECT_EQ(ticks, 2);
    // The command's own child went too (once its new parent has reaped it).
    EXPECT_EQ(shell("for i in $(seq 20); do kill -0 $(cat /tmp/inner.pid) 2>/dev/null || exit 0; sleep 0.1; done;"
                    " exit 1"),
        0);
    EXPECT_TRUE(runPolled("true", [] {}, [] { return true; }));  // one that ends first is not stopped
}
