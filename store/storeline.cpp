#include "store/storeline.h"

#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "store/durable.h"

std::optional<eString> readStoreLine()
{
    // Not a regular file (a pipe nobody writes to, a device): no store.
    struct stat st;
    Descriptor org = openRegularFile(storeLineFile, st);
    if (!org)
        return std::nullopt;
    char line[1024];
    ssize_t length = pread(org.get(), line, sizeof line - 1, 0);
    if (length < 0)
        return std::nullopt;
    line[length] = '\0';
    char* end = std::strchr(line, '\n');
    if (!end)
        end = line + std::strlen(line);  // a line without its end, or a NUL in it
    if (end > line && end[-1] == '\r')  // written on another system
        --end;
    return eString(std::string(line, end - line));
}
