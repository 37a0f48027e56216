#include "pchost/toolkit/metrics.h"

#include <algorithm>

#include "host/eskin.h"

namespace pchost {

int fontSize()
{
    return eSkin::getActive()->queryValue("fontsize", 20);
}

int textSize()
{
    return (fontSize() * 17 + 10) / 20;
}

int lineHeight()
{
    return std::max(cellHeight, (fontSize() * 6 + 4) / 5);
}

// As the plug-in spaces its own rows (fd + 4): its lists are sized for that,
// the main menu's six entries in 180 pixels up to a font size of 26.
int entryHeight()
{
    return std::max(cellHeight, fontSize()) + 4;
}

// DejaVu Sans averages about 0.55 of its size per character; 0.65 leaves
// room for wide letters.
int textWidth(const std::string& text)
{
    int perCharacter = std::max(cellWidth, (textSize() * 13 + 10) / 20);
    return static_cast<int>(text.size()) * perCharacter;
}

} // namespace pchost
