#include "commands/jsonname.h"

namespace {

// The length of the UTF-8 sequence at TEXT[AT], 0 when there is none.
size_t sequenceAt(const std::string& text, size_t at)
{
    unsigned char lead = text[at];
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    if (length == 0 || at + length > text.size() || (length == 2 && lead < 0xc2))
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[at + i]) >> 6) != 2)
            return 0;
    }
    return length;
}

bool isUtf8(const std::string& text)
{
    for (size_t at = 0, length; at < text.size(); at += length) {
        if ((length = sequenceAt(text, at)) == 0)
            return false;
    }
    return true;
}

} // namespace

std::string jsonName(const std::string& bytes)
{
    if (isUtf8(bytes))
        return bytes;
    std::string text;
    for (unsigned char c : bytes) {
        if (c < 0x80)
            text += static_cast<char>(c);
        else
            text += {static_cast<char>(0xc0 | c >> 6), static_cast<char>(0x80 | (c & 0x3f))};
    }
    return text;
}

std::optional<std::string> namedBytes(const std::string& text)
{
    std::string bytes;
    for (size_t at = 0; at < text.size(); ++at) {
        unsigned char c = text[at];
        if (c < 0x80)
            bytes += static_cast<char>(c);
        else if ((c == 0xc2 || c == 0xc3) && at + 1 < text.size() && (text[at + 1] & 0xc0) == 0x80)
            bytes += static_cast<char>((c & 0x03) << 6 | (text[++at] & 0x3f));
        else
            return std::nullopt;
    }
    return isUtf8(bytes) ? std::nullopt : std::optional<std::string>(bytes);
}
