#include "store/slotdetails.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <string>

#include "store/controls.h"
#include "store/durable.h"
#include "store/imagename.h"
#include "store/slots.h"

namespace {

constexpr size_t detailsLimit = 8192;

eString utcNow()
{
    std::time_t now = std::time(nullptr);
    std::tm parts = {};
    char text[32] = "";
    if (gmtime_r(&now, &parts))
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

eString escapeLine(const eString& value)
{
    eString line, code;
    for (unsigned char c : value) {
        if (c == '\\')
            line += "\\\\";
        else if (c == '\n')
            line += "\\n";
        else if (isControlCharacter(c))
            line += code.sprintf("\\x%02x", c);
        else
            line += static_cast<char>(c);
    }
    return line;
}

eString unescapeLine(const eString& line)
{
    eString value;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '\\' || i + 1 == line.size()) {
            value += line[i];
        } else if (line[i + 1] == 'n') {
            value += '\n';
            ++i;
        } else if (line[i + 1] == 'x' && i + 3 < line.size() && hexDigit(line[i + 2]) >= 0 &&
            hexDigit(line[i + 3]) >= 0) {
            value += static_cast<char>(hexDigit(line[i + 2]) * 16 + hexDigit(line[i + 3]));
            i += 3;
        } else {
            value += line[++i];
        }
    }
    return value;
}

bool writeSlotDetails(const eString& dir, const eString& image)
{
    return replaceSlotFile(dir, slotDetailsName, "installed=" + utcNow() + "\nimage=" + escapeLine(image) + "\n");
}

std::optional<SlotDetails> readSlotDetails(int slot)
{
    std::string text;
    unsigned mode = 0;
    if (!readWholeFile(slotDirPath(slot) + slotDetailsName, text, mode, detailsLimit))
        return std::nullopt;
    std::istringstream lines(text);
    std::string line;
    SlotDetails details;
    bool installed = false, image = false;
    while (std::getline(lines, line)) {
        if (line.rfind("installed=", 0) == 0 && !installed) {
            details.installed = line.substr(10);
            installed = true;
        } else if (line.rfind("image=", 0) == 0 && !image) {
            details.image = unescapeLine(line.substr(6));
            image = true;
        }
    }
    if (!installed || !image)
        return std::nullopt;
    return details;
}

bool removeImageInfo(const eString& dir)
{
    // The details first: a slot stopped between the two is installed without
    // them (shown as unknown), never corrupted with an installation's details.
    std::error_code error;
    std::filesystem::remove_all((dir + "/" + slotDetailsName).c_str(), error);
    if (!error)
        std::filesystem::remove_all((dir + "/Image.info").c_str(), error);
    return !error;
}
