#pragma once
#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <streambuf>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

// The conditions the box's own GUI host puts a plug-in in, and the variants
// a plug-in must live with in each of them.
struct BoxConditions {
    bool reaper = true;  // a SIGCHLD handler reaps every child; false: SIGCHLD ignored
    bool closedStreams = true;  // standard input, output and error closed; false: /dev/null
    mode_t umask = 077;
    bool oldKernel = false;  // the system calls of Linux 2.6.18 alone (enterOldKernel)
};

// "reaper" or "ignore", "closed" or "null", the umask in octal, and
// optionally "oldkernel", joined by commas in any order
// ("reaper,closed,077"); empty for anything else.
std::optional<BoxConditions> parseBoxConditions(const std::string& text);

// The box's PATH: its environment holds nothing else.
constexpr char boxPath[] = "/bin:/sbin:/usr/bin:/usr/sbin";

// While one lives, this process is as the box's host: descriptors 3 to 40
// open without close-on-exec (a device, pipes, a socket, a regular file);
// two more threads busy allocating, writing through stdio and taking a
// mutex, in which a SIGCHLD handler reaps every child (or SIGCHLD ignored);
// SIGPIPE ignored; SIGCHLD, SIGINT and SIGTERM blocked in the calling
// thread; the umask; an environment of PATH=boxPath alone (and an
// emulator's QEMU_UNAME: the kernel release the box reports), for the rest
// of the process; with oldKernel, the box's kernel's system calls, from
// before the threads start to the end of the process and all it starts
// (enterOldKernel). With STREAMS, standard input, output and error closed or
// /dev/null too, while std::cout goes on where standard output went: the
// host's own output, not the plug-in's.
class BoxLikeProcess {
public:
    BoxLikeProcess(const BoxConditions& conditions, bool streams);
    ~BoxLikeProcess();
    BoxLikeProcess(const BoxLikeProcess&) = delete;
    BoxLikeProcess& operator=(const BoxLikeProcess&) = delete;

private:
    void holdDescriptors();
    void startThreads(bool reaper);
    void replaceStreams(bool closed);

    std::vector<int> held;
    int savedStreams[3] = {-1, -1, -1};
    std::unique_ptr<std::streambuf> output;
    std::streambuf* outputBefore = nullptr;
    std::vector<std::thread> threads;
    std::atomic<bool> done{false};
    FILE* sink = nullptr;  // where the threads write
    mode_t umaskBefore;
    sigset_t maskBefore;
};
