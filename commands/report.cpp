#include "commands/report.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <unistd.h>

#include "commands/jsonname.h"
#include "install/imagefiles.h"
#include "install/imagecheck.h"
#include "install/space.h"
#include "install/stillthere.h"
#include "manage/colorchoice.h"
#include "manage/overview.h"
#include "store/context.h"
#include "store/controls.h"
#include "store/defaultslot.h"
#include "store/diskcolor.h"
#include "store/durable.h"
#include "store/handles.h"
#include "store/shell.h"
#include "store/slotdetails.h"
#include "store/slotmenu.h"

using nlohmann::json;

namespace {

const char* const stateNames[] = {"free", "installed", "corrupted"};
constexpr size_t menuLimit = 1 << 20;

bool sameFile(const std::string& path, const std::string& content, unsigned mode)
{
    std::string found;
    unsigned foundMode = 0;
    return readWholeFile(path, found, foundMode, menuLimit) && found == content && (foundMode & 07777) == mode;
}

// Whether tools/menu and tools/lcdmenu.conf hold what the slots call for;
// null when that cannot be composed (tools/menu.org unreadable or too large).
json bootMenuCurrent()
{
    BootMenu menu;
    if (!composeBootMenu(menu))
        return nullptr;
    return sameFile(mpoint + "/tools/menu", menu.script, 0755) &&
        sameFile(mpoint + "/tools/lcdmenu.conf", menu.config, 0644);
}

// Whether any action wrote a boot menu yet: a fresh store has its head alone.
bool bootMenuWritten()
{
    struct stat st;
    return lstat((mpoint + "/tools/menu").c_str(), &st) == 0 || lstat((mpoint + "/tools/lcdmenu.conf").c_str(), &st) == 0;
}

json orNull(const std::optional<std::string>& value)
{
    return value ? json(jsonName(*value)) : json(nullptr);
}

std::optional<int> colorCode()
{
    char* end = nullptr;
    long code = std::strtol(color.c_str(), &end, 10);
    if (color.empty() || *end || code < firstColorKey || code > lastColorKey)
        return std::nullopt;
    return static_cast<int>(code);
}

json statusJson(const SlotSizeOf& sizeOf)
{
    followDiskColor();  // as the next boot menu takes it
    json slots = json::array();
    std::vector<int> entries = bootEntries();
    json chosen = nullptr;
    for (int slot = 0; slot < slotCount; ++slot) {
        SlotReport report = reportSlot(slot, !sizeOf, entries);
        if (sizeOf && report.state != SlotState::Free)
            report.kilobytes = sizeOf(slot);
        slots.push_back(slotJson(report));
        chosen = report.chosen ? json(slot) : chosen;
    }
    std::optional<long long> free = measuredFreeKilobytes(mpoint);
    std::optional<int> code = colorCode();
    return {{"store", mpoint}, {"free_kb", free ? json(*free) : json(nullptr)},
        {"color", code ? json(*code) : json(nullptr)},
        {"color_name", code ? json(colorText(*code) + 1) : json(nullptr)},
        {"boot_menu_current", bootMenuCurrent()}, {"boot_menu_written", bootMenuWritten()}, {"default_slot", chosen},
        {"slots", slots}};
}

std::string field(const json& value, const char* unit = "")
{
    if (value.is_null())
        return "-";
    return printable(value.is_string() ? value.get<std::string>() : value.dump()) + unit;
}

// A slot's size; "unknown" for one that tools/du did not measure.
std::string sizeField(const json& slot)
{
    if (slot["size_kb"].is_null() && slot["state"] != "free" && slot["state"] != "blocked")
        return "unknown";
    return field(slot["size_kb"], " kB");
}

std::string statusLines(const json& status)
{
    eString text, line;
    text += "store      " + field(status["store"]) + "\n";
    text += "free       " + field(status["free_kb"], " kB") + "\n";
    const json& code = status["color"];
    text += "menu color " + (code.is_null() ? "-" : field(status["color_name"]) + " (" + field(code) + ")") + "\n";
    const json& current = status["boot_menu_current"];
    text += std::string("boot menu  ") +
        (current.is_null() ? "cannot be written: tools/menu.org unreadable or over 64 kB\n" :
         current.get<bool>()          ? "as the slots call for\n" :
         status["boot_menu_written"] ? "differs from the slots (run: nimbrel menu)\n" :
                                        "none yet: the first installation writes it (or run: nimbrel menu)\n");
    const json& chosen = status["default_slot"];
    text += "default    " + (chosen.is_null() ? std::string("flash") : "slot " + field(chosen) + " (" +
        field(status["slots"][chosen.get<int>()]["name"]) + ")") + "\n";
    text += line.sprintf("%-5s %-10s %-10s %-11s %-5s %-21s %s\n", "slot", "state", "size", "name", "menu",
        "installed", "image file");
    for (const json& slot : status["slots"]) {
        text += line.sprintf("%-5d %-10s %-10s %-11s %-5s %-21s %s\n", slot["slot"].get<int>(),
            slot["state"].get<std::string>().c_str(), sizeField(slot).c_str(),
            field(slot["name"]).c_str(), slot["in_boot_menu"].get<bool>() ? "yes" : "no",
            field(slot["installed"]).c_str(), field(slot["image_file"]).c_str());
    }
    return text;
}

const char* kindName(ImageKind kind)
{
    switch (kind) {
    case ImageKind::SinglePart:
        return "single-part";
    case ImageKind::TwoPart:
        return "two-part";
    case ImageKind::Unknown:
        break;
    }
    return "unknown";
}

json imagesJson()
{
    json images = json::array();
    for (const eString& file : listImageFiles()) {
        struct stat st;
        bool plain = stat((mpoint + "/" + file).c_str(), &st) == 0 && S_ISREG(st.st_mode);
        ImageCheck check = inspectImage(file);
        images.push_back({{"file", jsonName(file)}, {"size", plain ? json(static_cast<long long>(st.st_size)) : json(nullptr)},
            {"kind", kindName(check.kind)}, {"check", check.fault ? check.fault : "ok"}});
    }
    return images;
}

} // namespace

nlohmann::json slotJson(const SlotReport& slot)
{
    return {{"slot", slot.slot}, {"state", slot.blocked ? "blocked" : stateNames[static_cast<int>(slot.state)]}, {"name", orNull(slot.name)},
        {"size_kb", slot.kilobytes ? json(*slot.kilobytes) : json(nullptr)},
        {"installed", orNull(slot.installed)}, {"image_file", orNull(slot.image)},
        {"in_boot_menu", slot.entry > 0}, {"boot_entry", slot.entry ? json(slot.entry) : json(nullptr)},
        {"default", slot.chosen}};
}

SlotReport reportSlot(int slot, bool size, const std::vector<int>& entries)
{
    SlotReport report;
    report.slot = slot;
    report.state = probeSlot(slot);
    // No installation goes there, and nothing of ours is there to erase.
    report.blocked = report.state == SlotState::Free && refuseSlotTaken(slotText(slot));
    if (report.state == SlotState::Free)
        return report;
    report.entry = entries.empty() ? bootEntries()[slot] : entries[slot];
    if (report.state == SlotState::Installed) {
        report.name = slotName(slot);
        report.chosen = defaultSlot() == slot;
    }
    if (size)
        report.kilobytes = measureSlot(slot);
    // A corrupted slot's details are those of an installation that is gone.
    std::optional<SlotDetails> details = report.state == SlotState::Installed ? readSlotDetails(slot) : std::nullopt;
    if (details) {
        report.installed = details->installed;
        report.image = details->image;
    }
    return report;
}

std::vector<eString> listImageFiles()
{
    std::vector<eString> files;
    DirHandle dir = openDir(mpoint);
    while (const dirent* entry = dir ? readdir(dir.get()) : nullptr) {
        if (isImageFileName(entry->d_name))
            files.push_back(entry->d_name);
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string statusReport(bool json, const SlotSizeOf& sizeOf)
{
    nlohmann::json status = statusJson(sizeOf);
    return json ? status.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n" : statusLines(status);
}

std::string imagesReport(bool json)
{
    nlohmann::json images = imagesJson();
    if (json)
        return images.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    std::string text;
    eString line;
    for (const nlohmann::json& image : images)
        text += line.sprintf("%-24s %12s %-12s %s\n", field(image["file"]).c_str(),
            field(image["size"]).c_str(), image["kind"].get<std::string>().c_str(),
            image["check"].get<std::string>().c_str());
    if (!images.empty())
        text += "(the checks before mounting only: nimbrel verify FILE makes every check of an installation)\n";
    return text;
}

// Written into a file of a private directory: /tmp/du.temp may be the
// overview's at this moment.
std::optional<long long> measureSlot(int slot)
{
    static SlotMeasure sizes;
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/nimbrel-du.XXXXXX";
    if (!mkdtemp(dir.data()))
        return std::nullopt;
    eString out = dir + "/du";
    eString text = sizes.sizeOf(slot, out.c_str());
    removeTree(dir);  // unchecked: a private scratch directory
    char* end = nullptr;
    long long kilobytes = std::strtoll(text.c_str(), &end, 10);
    if (end == text.c_str() || std::strcmp(end, " kB") != 0)
        return std::nullopt;
    return kilobytes;
}
