#include "store/controls.h"

#include <algorithm>

bool hasControlCharacter(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), [](unsigned char c) { return isControlCharacter(c); });
}

std::string printable(std::string text)
{
    for (char& c : text) {
        if (isControlCharacter(static_cast<unsigned char>(c)))
            c = '?';
    }
    return text;
}
