#pragma once
#include <string>

// The toolkit's string: a std::string that can format into itself.
class eString : public std::string {
public:
    eString() = default;
    eString(const char* text);
    eString(const std::string& text);

    // Replaces the content with FORMAT filled like printf; returns *this.
    eString& sprintf(const char* format, ...) __attribute__((format(printf, 2, 3)));
};
