#include "store/bootmenu.h"

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "store/durable.h"

namespace fs = std::filesystem;

namespace {

// PATH is a plain file, no link, that holds CONTENT with MODE. One of
// another size is not read: it may be larger than the memory.
bool holds(const eString& path, const std::string& content, unsigned mode)
{
    struct stat st;
    std::string now;
    unsigned nowMode = 0;
    return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == static_cast<off_t>(content.size()) &&
        readWholeFile(path, now, nowMode) && nowMode == mode && now == content;
}

// DIR is a directory, no link, holding nothing but plain files of the pair's names.
bool holdsOnlyThePair(const eString& dir)
{
    std::error_code error;
    if (!fs::is_directory(fs::symlink_status(dir.c_str(), error)))
        return false;
    for (fs::directory_iterator entry(dir.c_str(), error), end; !error && entry != end; entry.increment(error)) {
        std::string name = entry->path().filename();
        if ((name != "menu" && name != "lcdmenu.conf") || !fs::is_regular_file(entry->symlink_status(error)))
            return false;
    }
    return !error;
}

// An earlier version kept the pair as links through the link tools/bootmenu
// into the directory bootmenu.1 or bootmenu.2. Only what it made goes: a
// file or directory of the user's under those names stays.
bool dropLinkLayout(const eString& tools)
{
    char target[16] = {};
    ssize_t length = readlink((tools + "/bootmenu").c_str(), target, sizeof target - 1);
    std::string link(target, length > 0 ? length : 0);
    bool dropped = (link == "bootmenu.1" || link == "bootmenu.2") && unlink((tools + "/bootmenu").c_str()) == 0;
    for (const char* generation : {"/bootmenu.1", "/bootmenu.2"})
        if (holdsOnlyThePair(tools + generation))
            dropped = removeTree(tools + generation) || dropped;
    // Only where the layout was: its removal on the disk before success; else a cut brings it back.
    return !dropped || syncDirectory(tools);
}

eString scratchOf(const eString& tools, const char* name)
{
    return tools + "/" + name + ".new";
}

} // namespace

MenuSwitch::MenuSwitch(const eString& tools, const std::string& head)
    : tools(tools)
    , head(head)
{
}

MenuSwitch::~MenuSwitch()
{
    // Unchecked: a scratch file that stays is clutter, which the next run clears.
    if (scriptStaged)
        std::remove(scratchOf(tools, "menu").c_str());
    if (configStaged)
        std::remove(scratchOf(tools, "lcdmenu.conf").c_str());
}

bool MenuSwitch::throughHead(const std::string& script, const std::string& config) const
{
    eString menu = tools + "/menu";
    return !holds(menu, script, 0755) && !holds(menu, head, 0755) && !holds(tools + "/lcdmenu.conf", config, 0644);
}

bool MenuSwitch::stageHead()
{
    if (holds(tools + "/menu", head, 0755))
        return true;
    scriptStaged = writeFreshFile(scratchOf(tools, "menu"), head, 0755);
    return scriptStaged;
}

bool MenuSwitch::withdraw()
{
    return place("menu", scriptStaged);
}

bool MenuSwitch::stage(const std::string& script, const std::string& config)
{
    // A link or anything but a plain file of the bytes and mode is replaced, never written through.
    const struct {
        const char* name;
        const std::string& content;
        unsigned mode;
        bool& staged;
    } files[] = {{"menu", script, 0755, scriptStaged}, {"lcdmenu.conf", config, 0644, configStaged}};
    for (const auto& file : files) {
        eString scratch = scratchOf(tools, file.name);
        if (holds(tools + "/" + file.name, file.content, file.mode))
            removeTree(scratch);  // a stopped run's; unchecked, as it is clutter
        else if (!(file.staged = writeFreshFile(scratch, file.content, file.mode)))
            return false;
    }
    return true;
}

bool MenuSwitch::placeConfig()
{
    return place("lcdmenu.conf", configStaged);
}

bool MenuSwitch::placeScript()
{
    return place("menu", scriptStaged);
}

void MenuSwitch::dropOldLayout()
{
    dropLinkLayout(tools);  // unchecked: the pair is in place; the next run tries again
}

bool MenuSwitch::renamed()
{
    bool was = anyRenamed;
    anyRenamed = false;
    return was;
}

bool MenuSwitch::place(const char* name, bool& staged)
{
    if (!staged)
        return true;
    eString path = tools + "/" + name, scratch = scratchOf(tools, name);
    staged = false;
    if (std::rename(scratch.c_str(), path.c_str()) != 0) {
        std::remove(scratch.c_str());  // the failure is reported either way
        return false;
    }
    anyRenamed = true;
    return true;
}
