#include "pchost/front/executable.h"

#include <unistd.h>

namespace pchost {

std::string executableDir()
{
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return ".";
    std::string exe(path, length);
    return exe.substr(0, exe.rfind('/'));
}

} // namespace pchost
