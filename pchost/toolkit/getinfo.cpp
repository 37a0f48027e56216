#include "host/eskin.h"

#include <fstream>

eString getInfo(const char* file, const char* key)
{
    std::ifstream in(file);
    const std::string prefix = std::string(key) + "=";
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, prefix.size(), prefix) == 0)
            return line.substr(prefix.size());
    }
    return "";
}
