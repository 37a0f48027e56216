#include "host/eskin.h"

#include <fstream>
#include <optional>

#include "pchost/toolkit/skin.h"

namespace {

std::optional<int> configuredFontSize;

} // namespace

void setSkinFontSize(int size)
{
    configuredFontSize = size;
}

void clearSkinFontSize()
{
    configuredFontSize.reset();
}

eSkin* eSkin::getActive()
{
    static eSkin active;
    return &active;
}

int eSkin::queryValue(const eString& name, int defaultValue) const
{
    if (name == "fontsize" && configuredFontSize)
        return *configuredFontSize;
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
