#include "store/storeline.h"

#include <cstring>

#include "store/handles.h"

std::optional<eString> readStoreLine()
{
    FileHandle org = openFile(storeLineFile, "r");
    if (!org)
        return std::nullopt;
    char line[1024];
    if (!std::fgets(line, sizeof line, org.get()))
        return eString();
    size_t length = std::strlen(line);
    if (length > 0 && line[length - 1] == '\n')
        line[--length] = '\0';
    if (length > 0 && line[length - 1] == '\r')  // written on another system
        line[--length] = '\0';
    return eString(line);
}
