#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>
#include <sys/stat.h>

#include "cli/console.h"
#include "commands/refusal.h"
#include "commands/report.h"
#include "store/actionlog.h"
#include "store/context.h"
#include "store/controls.h"
#include "store/durable.h"
#include "store/storecheck.h"

using nlohmann::json;

namespace {

std::string shown(const json& value, const std::string& unknown)
{
    if (value.is_null())
        return unknown;
    return printable(value.is_string() ? value.get<std::string>() : value.dump());
}

// The slot's fields as lines; what a free slot lacks is "-".
std::string infoLines(const json& slot)
{
    bool free = slot["state"] == "free" || slot["state"] == "blocked";
    std::string unknown = free ? "-" : "unknown";
    const json& entry = slot["boot_entry"];
    std::string text = "slot        " + shown(slot["slot"], "-") + "\n";
    text += "state       " + shown(slot["state"], "-") + "\n";
    text += "name        " + shown(slot["name"], "-") + "\n";
    text += "size        " + (slot["size_kb"].is_null() ? unknown : shown(slot["size_kb"], "") + " kB") + "\n";
    text += "installed   " + shown(slot["installed"], unknown) + "\n";
    text += "image file  " + shown(slot["image_file"], unknown) + "\n";
    text += "boot menu   " + (entry.is_null() ? std::string("not started") : "entry " + entry.dump()) + "\n";
    text += "default     " + std::string(slot["default"].get<bool>() ? "yes" : "no") + "\n";
    return text;
}

} // namespace

std::vector<int> bootEntries()
{
    std::vector<int> entries(slotCount, 0);
    std::string script;
    unsigned mode = 0;
    if (!readWholeFile(mpoint + "/tools/menu", script, mode, 1 << 20))
        return entries;
    std::istringstream lines(script);
    for (std::string line; std::getline(lines, line);) {
        int entry = 0, slot = 0;
        char end = 0;
        if (std::sscanf(line.c_str(), "test \"$RC\" -eq %d && $mpoint/tools/chroot $mpoint/image/%d ../go%c", &entry,
                &slot, &end) == 2 && slot >= 0 && slot < slotCount && entry > 0)
            entries[slot] = entry;
    }
    return entries;
}

std::string infoReport(int slot, bool asJson)
{
    json info = slotJson(reportSlot(slot));
    if (asJson)
        return info.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
    return infoLines(info);
}

std::string actionLog()
{
    if (std::optional<Outcome> none = refuseNoImageStore())
        throw Refusal(none->message + ": " + none->detail);
    std::string text;
    unsigned mode = 0;
    struct stat st;
    if (lstat(actionLogPath().c_str(), &st) != 0)
        return text;  // nothing done yet
    if (!readWholeFile(actionLogPath(), text, mode, 4 * actionLogLimit))
        throw Refusal("could not read " + std::string(actionLogPath()));
    std::string shown;  // the lines as written, whatever else is in the file
    for (size_t at = 0, end; at < text.size(); at = end + 1) {
        end = std::min(text.find('\n', at), text.size());
        shown += printable(text.substr(at, end - at)) + "\n";
    }
    return shown;
}
