#pragma once
#include <streambuf>

// While one lives, std::cerr is nimbrel's alone: it writes to a copy of
// standard error, and descriptor 2 is /dev/null for everything else, so
// that what the commands of a procedure say there (busybox dd's record
// counts, say) never mixes with nimbrel's lines.
class OwnStderr {
public:
    OwnStderr();
    ~OwnStderr();
    OwnStderr(const OwnStderr&) = delete;
    OwnStderr& operator=(const OwnStderr&) = delete;

    // The descriptor std::cerr writes to; standard error without one.
    static int descriptor();

private:
    struct Buffer : std::streambuf {
        int fd = -1;
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* text, std::streamsize size) override;
    };
    Buffer buffer;
    std::streambuf* previous = nullptr;
};
