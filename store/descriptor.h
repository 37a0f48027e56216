#pragma once
#include <cstddef>
#include <string>

// An open file descriptor that closes itself; empty when the open failed.
class Descriptor {
public:
    explicit Descriptor(int fd = -1);
    Descriptor(Descriptor&& other) noexcept;
    Descriptor& operator=(Descriptor&& other) noexcept;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor();

    int get() const;
    explicit operator bool() const;
    // Closes it at once and reports whether the close succeeded; false when
    // it was empty. A failed close can mean that written data is lost.
    bool close();

private:
    int fd;
};

// Descriptors that no command inherits, on any kernel the box may have:
// where the kernel lacks the flag or call that sets close-on-exec at once
// (O_CLOEXEC is ignored before Linux 2.6.23, F_DUPFD_CLOEXEC and pipe2 came
// in 2.6.24 and 2.6.27), it is set right after. A fork of another thread
// in between may still inherit one: our own commands close every
// descriptor they were not handed (runWatched), whatever its flag.

// FD, opened with O_CLOEXEC (by open, mkostemp), with close-on-exec set
// for sure; when FD is -1 or the flag cannot be set, -1 (FD closed).
int closeOnExec(int fd);

// Writes all SIZE bytes of DATA to FD, again after a signal; false at the
// first failure (errno tells it), with part of them written perhaps.
bool writeAll(int fd, const char* data, size_t size);
bool writeAll(int fd, const std::string& text);

// A copy of FD at LOWEST or above, close-on-exec.
int duplicateNoInherit(int fd, int lowest);

// A pipe: ENDS[0] to read, ENDS[1] to write, both close-on-exec.
bool makePipe(int ends[2]);

// A connected pair of stream sockets, both close-on-exec: written with
// sendAll, a socket whose reader is gone fails with EPIPE instead of
// raising SIGPIPE, which a host may leave at its default and die of.
bool makeSocketPair(int ends[2]);

// writeAll for a socket, without SIGPIPE.
bool sendAll(int fd, const std::string& text);
