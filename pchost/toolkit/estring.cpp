#include "host/estring.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

eString::eString(const char* text)
    : std::string(text ? text : "")
{
}

eString::eString(const std::string& text)
    : std::string(text)
{
}

eString& eString::sprintf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::vector<char> buffer(length > 0 ? length + 1 : 1, '\0');
    if (length > 0)
        std::vsnprintf(buffer.data(), buffer.size(), format, again);
    va_end(again);
    assign(buffer.data(), length > 0 ? length : 0);
    return *this;
}
