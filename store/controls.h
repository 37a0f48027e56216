#pragma once
#include <string>

// Whether C is a control character (C0 or DEL): what a name, a line of a
// file or a header field never carries as it is.
inline bool isControlCharacter(unsigned char c)
{
    return c < ' ' || c == 0x7f;
}

// Whether TEXT holds a control character.
bool hasControlCharacter(const std::string& text);

// TEXT with each control character as '?': a name from the store never
// moves a terminal's cursor or changes its colours.
std::string printable(std::string text);
