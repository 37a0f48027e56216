#include "host/eskin.h"

#include <fstream>

#include "pchost/toolkit/skin.h"

namespace {

bool haveFontSize = false;
int configuredFontSize = 0;

} // namespace

void setSkinFontSize(int size)
{
    haveFontSize = true;
    configuredFontSize = size;
}

void clearSkinFontSize()
{
    haveFontSize = false;
}

eSkin* eSkin::getActive()
{
    static eSkin active;
    return &active;
}

int eSkin::queryValue(const eString& name, int defaultValue) const
{
    if (name == "fontsize" && haveFontSize)
        return configuredFontSize;
    return defaultValue;
}

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
