#include "host/eskin.h"

#include <fcntl.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

eString getInfo(const char* file, const char* key)
{
    // Opened without waiting and read only when it is a regular file: a
    // pipe there must not stop the caller.
    int fd = open(file, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st;
    std::string text;
    if (fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        char buffer[4096];
        for (ssize_t got; (got = read(fd, buffer, sizeof buffer)) > 0;)
            text.append(buffer, got);
    }
    if (fd >= 0)
        close(fd);
    std::istringstream in(text);
    const std::string prefix = std::string(key) + "=";
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, prefix.size(), prefix) == 0)
            return line.substr(prefix.size());
    }
    return "";
}
