#include "pchost/boxlike/boxprocess.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ext/stdio_filebuf.h>
#include <fcntl.h>
#include <iostream>
#include <mutex>
#include <stdexcept>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "pchost/boxlike/oldkernel.h"

namespace {

constexpr int lastHeld = 40;

void reapEveryChild(int)
{
    int saved = errno;
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    errno = saved;
}

// One more open thing of the next kind in turn; its descriptors in FDS.
void openNext(int kind, std::vector<int>& fds)
{
    int pair[2];
    switch (kind % 4) {
    case 0:
        fds.push_back(open("/dev/zero", O_RDWR));
        break;
    case 1:
        if (pipe(pair) == 0)
            fds.insert(fds.end(), pair, pair + 2);
        break;
    case 2:
        if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) == 0)
            fds.insert(fds.end(), pair, pair + 2);
        break;
    default:
        fds.push_back(open("/tmp", O_TMPFILE | O_RDWR, 0600));
        break;
    }
}

// What a thread of the host does all along: allocate, write through stdio,
// take a lock that another thread takes too.
void keepBusy(const std::atomic<bool>& done, FILE* sink)
{
    static std::mutex shared;
    for (unsigned round = 0; !done; ++round) {
        size_t size = 16 + round % 4096;
        char* block = static_cast<char*>(std::malloc(size));
        if (block)
            std::memset(block, static_cast<int>(round), size);
        std::free(block);
        std::fprintf(sink, "round %u\n", round);
        flockfile(stdout);
        funlockfile(stdout);
        std::lock_guard<std::mutex> held(shared);
        usleep(2000);  // busy, not a spin that halves the machine
    }
}

} // namespace

std::optional<BoxConditions> parseBoxConditions(const std::string& text)
{
    BoxConditions conditions;
    std::istringstream words(text);
    for (std::string word; std::getline(words, word, ',');) {
        if (word == "reaper" || word == "ignore")
            conditions.reaper = word == "reaper";
        else if (word == "closed" || word == "null")
            conditions.closedStreams = word == "closed";
        else if (word == "oldkernel")
            conditions.oldKernel = true;
        else if (word.size() == 3 && word.find_first_not_of("01234567") == std::string::npos)
            conditions.umask = static_cast<mode_t>(std::stoul(word, nullptr, 8));
        else
            return std::nullopt;
    }
    return conditions;
}

BoxLikeProcess::BoxLikeProcess(const BoxConditions& conditions, bool streams)
{
    const char* release = std::getenv("QEMU_UNAME");
    std::string emulatedRelease = release ? release : "";
    clearenv();  // before the threads: nothing else touches the environment then
    setenv("PATH", boxPath, 1);
    if (!emulatedRelease.empty())
        setenv("QEMU_UNAME", emulatedRelease.c_str(), 1);
    umaskBefore = umask(conditions.umask);
    holdDescriptors();
    if (conditions.oldKernel)
        enterOldKernel();  // before the threads: a filter covers the threads started after it
    signal(SIGPIPE, SIG_IGN);
    startThreads(conditions.reaper);
    if (streams)
        replaceStreams(conditions.closedStreams);
}

BoxLikeProcess::~BoxLikeProcess()
{
    done = true;
    for (std::thread& thread : threads)
        thread.join();
    if (sink)
        std::fclose(sink);
    pthread_sigmask(SIG_SETMASK, &maskBefore, nullptr);
    signal(SIGCHLD, SIG_DFL);
    if (output) {
        std::cout.flush();
        std::cout.rdbuf(outputBefore);
    }
    for (int fd = 0; fd < 3; ++fd) {
        if (savedStreams[fd] >= 0)
            dup2(savedStreams[fd], fd), close(savedStreams[fd]);
    }
    for (int fd : held)
        close(fd);
    umask(umaskBefore);
}

void BoxLikeProcess::holdDescriptors()
{
    for (int kind = 0;; ++kind) {
        std::vector<int> fds;
        openNext(kind, fds);
        bool past = !fds.empty() && fds.front() > lastHeld;
        for (int fd : fds) {
            if (past || fd < 0)
                close(fd);
            else
                held.push_back(fd);
        }
        if (past || kind > 4 * lastHeld)
            return;
    }
}

void BoxLikeProcess::startThreads(bool reaper)
{
    struct sigaction action = {};
    action.sa_handler = reaper ? reapEveryChild : SIG_IGN;
    action.sa_flags = SA_RESTART;
    sigaction(SIGCHLD, &action, nullptr);
    sink = std::fopen("/dev/null", "we");
    if (!sink)
        throw std::runtime_error("cannot open /dev/null");
    for (int i = 0; i < 2; ++i)
        threads.emplace_back(keepBusy, std::cref(done), sink);
    // Every child's end is then taken in one of the threads.
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int number : {SIGCHLD, SIGINT, SIGTERM})
        sigaddset(&blocked, number);
    pthread_sigmask(SIG_BLOCK, &blocked, &maskBefore);
}

void BoxLikeProcess::replaceStreams(bool closed)
{
    std::cout.flush();
    for (int fd = 0; fd < 3; ++fd)
        savedStreams[fd] = fcntl(fd, F_DUPFD_CLOEXEC, lastHeld + 1);
    if (savedStreams[1] >= 0) {
        int own = fcntl(savedStreams[1], F_DUPFD_CLOEXEC, lastHeld + 1);
        output = std::make_unique<__gnu_cxx::stdio_filebuf<char>>(own, std::ios::out);
        outputBefore = std::cout.rdbuf(output.get());
    }
    int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    for (int fd = 0; fd < 3; ++fd) {
        if (closed)
            close(fd);
        else
            dup2(null, fd);
    }
    close(null);
}
