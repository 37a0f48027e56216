#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <optional>
#include <pthread.h>
#include <sstream>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

#include "store/descriptor.h"
#include "store/shell.h"
#include "store/streams.h"
#include "tests/support.h"

namespace {

// Runs BODY with each command in a shell of its own, then again with the
// commands sharing one shell: every contract of a command holds for both.
template <class Body>
void inEachShell(Body body)
{
    for (bool sharing : {false, true}) {
        SCOPED_TRACE(sharing ? "commands sharing one shell" : "each command in a shell of its own");
        std::optional<CommandsInOneShell> shared;
        if (sharing)
            shared.emplace();
        body();
    }
}

} // namespace

TEST(ShellQuote, ValuesComeBackAsOneWordUnchanged)
{
    for (const char* value : {"", "/hdd", "a b.img", "x;touch pwned.img", "$(touch pwned).img", "`touch pwned`",
             "it's.img", "''", "tab\there", "line\nend", "back\\slash \"quoted\" *?[a] ~ & | < > #"}) {
        EXPECT_EQ(capture("set -- " + shellQuote(value) + "; printf %s$# \"$1\""), std::string(value) + "1");
        EXPECT_FALSE(pathExists("pwned")) << value;
    }
}

// The shell wraps status 256 to 0; a signal is a failure. However the host
// treats its children (a SIGCHLD handler in another thread that reaps them
// all, or SIGCHLD ignored), each command's own status decides, short or
// long, success or failure: a lost status never passes.
TEST(RunCommand, OnlyAnExitWithZeroSucceedsWhateverReapsOrIgnoresChildren)
{
    struct sigaction reaper = {}, ignore = {}, before;
    reaper.sa_handler = [](int) {
        int saved = errno;
        while (waitpid(-1, nullptr, WNOHANG) > 0) {
        }
        errno = saved;
    };
    ignore.sa_handler = SIG_IGN;
    const std::pair<const char*, bool> cases[] = {{"true", true}, {"exit 0", true}, {"exit 256", true},
        {"false", false}, {"exit 3", false}, {"no-such-command-here 2>/dev/null", false},
        {"kill -TERM $$", false}, {"kill -KILL $$", false}, {"sleep 0.3", true}, {"sleep 0.3; exit 3", false},
        {"sleep 1.2", true}, {"sleep 1.2; false", false}};
    for (const struct sigaction* way : {&reaper, &ignore}) {
        sigaction(SIGCHLD, way, &before);
        inEachShell([&] {
            for (int round = 0; round < 2; ++round) {
                for (const auto& [line, succeeds] : cases)
                    EXPECT_EQ(runCommand(line), succeeds) << line << (way == &ignore ? ", ignored" : ", reaped");
            }
        });
        sigaction(SIGCHLD, &before, nullptr);
    }
}

TEST(RunPolled, TicksWhileTheChildRunsAndReturnsWhenItEnds)
{
    // line, ticks at least and at most, seconds at most (room for a loaded,
    // emulated CPU); a process left behind keeps nothing waiting its 60 s
    const std::tuple<const char*, int, int, double> cases[] = {
        {"sleep 1.3", 2, 4, 4}, {"true", 0, 1, 2},
        {"sleep 60 >/dev/null 2>&1 & echo $! >/tmp/left.pid", 0, 1, 2}};
    inEachShell([&] {
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
    });
}

// A command stopped at a tick or at its time limit ends with all it
// started; one that ends first keeps its status. It may tick on while its
// group ends (seen: four more ticks under ASan on a loaded machine).
TEST(RunWatched, StoppedOrOutOfTimeItEndsWithAllItStarted)
{
    int ticks = 0;
    CommandOptions stopped, limited;
    stopped.tick = [&ticks] { ++ticks; };
    stopped.stop = [&ticks] { return ticks == 2; };  // once: the short commands after never stop
    limited.limitMs = 700;
    inEachShell([&] {
        ticks = 0;
        for (const auto& [options, end] : {std::pair{stopped, CommandEnd::Stopped}, {limited, CommandEnd::TimedOut}}) {
            auto start = std::chrono::steady_clock::now();
            EXPECT_EQ(runWatched("sleep 30 & echo $! >/tmp/inner.pid; wait", options), end);
            std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            EXPECT_LT(took.count(), 5.0);
            // The command's own child went too: gone, or dead and not yet
            // reaped by its new parent, this machine's init (seen: over 2 s
            // on a loaded machine).
            EXPECT_EQ(shell("p=$(cat /tmp/inner.pid); for i in $(seq 20); do s=$(cut -d' ' -f3 /proc/$p/stat 2>/dev/null);"
                            " [ -z \"$s\" ] || [ \"$s\" = Z ] && exit 0; sleep 0.1; done; exit 1"), 0);
            EXPECT_EQ(runWatched("exit 4", options), CommandEnd::Failed);
            EXPECT_EQ(runWatched("sleep 0.1", options), CommandEnd::Succeeded);
        }
    });
}

// A started command runs while its caller goes on. end() gives its own
// status, alike when asked again; its limit counts from the start, not from
// the end() that waits; one never asked is waited for all the same.
TEST(StartedCommand, RunsBesideTheCallerAndEndsBeforeItGoes)
{
    inEachShell([] {
        unlink("/tmp/started");
        unlink("/tmp/unasked");
        {
            StartedCommand command("sleep 1; echo >/tmp/started; exit 3", {});
            EXPECT_FALSE(pathExists("/tmp/started"));
            // Another command meanwhile keeps its own status, and leaves this one its own.
            EXPECT_TRUE(runCommand("sleep 0.2"));
            EXPECT_EQ(command.end(), CommandEnd::Failed);
            EXPECT_TRUE(pathExists("/tmp/started"));
            EXPECT_EQ(command.end(), CommandEnd::Failed);
            StartedCommand unasked("sleep 0.3; echo >/tmp/unasked", {});
        }
        EXPECT_TRUE(pathExists("/tmp/unasked"));
        // Counted from end(), the limit would let it end on its own, at 2.8 s.
        CommandOptions limited;
        limited.limitMs = 1000;
        StartedCommand late("sleep 2.8", limited);
        usleep(2000000);
        EXPECT_EQ(late.end(), CommandEnd::TimedOut);
    });
}

// Commands that share a shell run in the one started with the first: the
// shell's pid is each one's $$. One that ends the shell fails, and the
// next starts another; one handed descriptors gets its own. A shared one
// gets only the standard streams, input from /dev/null. Nothing of the
// shells outlives the object.
TEST(CommandsInOneShell, OneShellUntilACommandEndsIt)
{
    unlink("/tmp/shells");
    Descriptor handed(open("/tmp/handed", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    CommandOptions withHanded;
    withHanded.handed = {handed.get()};
    {
        CommandsInOneShell shared;
        for (const auto& [line, succeeds] : {std::pair{"echo $$ >>/tmp/shells", true},
                 {"ls /proc/self/fd >/tmp/fds; readlink /proc/self/fd/0 >>/tmp/fds", true},
                 {"echo $$ >>/tmp/shells", true}, {"kill -KILL $$", false}, {"echo $$ >>/tmp/shells", true}})
            EXPECT_EQ(runCommand(line), succeeds) << line;
        EXPECT_EQ(runWatched("echo $$ >&4", withHanded), CommandEnd::Succeeded);
        EXPECT_TRUE(runCommand("echo $$ >>/tmp/shells"));
    }
    std::istringstream lines(readFile("/tmp/shells"));
    std::vector<std::string> shells;
    for (std::string pid; std::getline(lines, pid);)
        shells.push_back(pid);
    ASSERT_EQ(shells.size(), 4u);
    EXPECT_EQ(shells[0], shells[1]);
    EXPECT_EQ(shells[2], shells[3]);
    EXPECT_NE(shells[0], shells[2]);
    EXPECT_NE(readFile("/tmp/handed"), shells[0] + "\n");
    EXPECT_EQ(readFile("/tmp/fds"), "0\n1\n2\n3\n/dev/null\n");  // 3: ls's own listing
    for (const std::string& pid : {shells[0], shells[2]})
        EXPECT_NE(shell("kill -0 " + pid), 0) << "a shell left running";
}

// A fork of the host that holds every descriptor, the shell's socket too,
// keeps the shell's end waiting for nothing.
TEST(CommandsInOneShell, EndsAtOnceWhileAForkHoldsItsSocket)
{
    pid_t fork = -1;
    auto start = std::chrono::steady_clock::now();
    {
        CommandsInOneShell shared;
        EXPECT_TRUE(runCommand("true"));
        fork = ::fork();
        if (fork == 0) {
            sleep(5);
            _exit(0);
        }
        start = std::chrono::steady_clock::now();
    }
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    kill(fork, SIGKILL);
    waitpid(fork, nullptr, 0);
    EXPECT_LT(took.count(), 1.5);  // a shell left to find the end goes after 2 s
}

// A command gets standard input, output and error, and what it is handed at
// 4, 5, ... whatever its numbers here (this process holds 3 to 40): no other
// descriptor, and default signals, an empty mask and umask 0, whatever the
// caller has.
TEST(RunWatched, OnlyWhatItIsHandedDefaultSignalsAndNoMask)
{
    Descriptor first(open("/tmp/first", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    Descriptor opened(open("/tmp/second", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    Descriptor second(duplicateNoInherit(opened.get(), 60));
    ASSERT_GT(second.get(), 40);
    struct sigaction ignore = {}, before;
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGTERM, &ignore, &before);
    sigset_t blocked, mask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &blocked, &mask);
    CommandOptions options;
    options.handed = {second.get(), first.get()};
    EXPECT_EQ(runWatched("ls /proc/self/fd >&5; grep -E '^Sig(Blk|Ign)' /proc/self/status >&4; umask >&4", options),
        CommandEnd::Succeeded);
    pthread_sigmask(SIG_SETMASK, &mask, nullptr);
    sigaction(SIGTERM, &before, nullptr);
    EXPECT_EQ(readFile("/tmp/first"), "0\n1\n2\n3\n4\n5\n");  // 3: ls's own listing
    // The shell itself ignores interrupt and quit for what runs in the background.
    EXPECT_EQ(readFile("/tmp/second"), "SigBlk:\t0000000000000000\nSigIgn:\t0000000000000006\n0000\n");
}

// With the host's standard streams closed, files of ours never take their
// numbers, and no command's output lands in one of them.
TEST(StandardStreams, ClosedOnesAreNullWhileItLives)
{
    int saved[3];
    for (int fd = 0; fd < 3; ++fd)
        saved[fd] = duplicateNoInherit(fd, 100);
    for (int fd = 0; fd < 3; ++fd)
        close(fd);
    int file = -1;
    bool ran = false;
    {
        StandardStreams streams;
        file = open("/tmp/ours", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ran = runCommand("echo out; echo err >&2");
        close(file);
    }
    bool closedAgain = fcntl(1, F_GETFD) < 0;
    for (int fd = 0; fd < 3; ++fd)
        dup2(saved[fd], fd), close(saved[fd]);
    EXPECT_GT(file, 2);
    EXPECT_TRUE(ran);
    EXPECT_TRUE(closedAgain);
    EXPECT_EQ(readFile("/tmp/ours"), "");
}
