#include "store/diskcolor.h"

#include <optional>
#include <sstream>
#include <string>

#include "store/context.h"
#include "store/durable.h"

namespace {

// menu_color of tools/lcdmenu.conf; empty when it cannot be read.
std::optional<eString> colorOnDisk()
{
    std::string config;
    unsigned mode = 0;
    if (!readWholeFile(mpoint + "/tools/lcdmenu.conf", config, mode, 1 << 16))
        return std::nullopt;
    const std::string key = "menu_color=";
    std::optional<eString> found;
    std::istringstream lines(config);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(key, 0) == 0)
            found = eString(line.substr(key.size()));
    }
    return found;
}

} // namespace

void followDiskColor()
{
    if (std::optional<eString> now = colorOnDisk())
        color = *now;
}
