#include "host/eskin.h"

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
