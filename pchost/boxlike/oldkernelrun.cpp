// Usage: old-kernel COMMAND [ARGUMENT...]
// Runs COMMAND with the system calls of the box's kernel alone (see
// oldkernel.h): for programs under an emulator, which cannot filter
// themselves, the filter goes around the emulator.
#include <cstdio>
#include <stdexcept>
#include <unistd.h>

#include "pchost/boxlike/oldkernel.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: old-kernel COMMAND [ARGUMENT...]\n");
        return 2;
    }
    try {
        enterOldKernel();
    } catch (const std::runtime_error& error) {
        std::fprintf(stderr, "old-kernel: %s\n", error.what());
        return 2;
    }
    execvp(argv[1], argv + 1);
    std::perror(argv[1]);
    return 127;
}
