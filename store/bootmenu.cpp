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

// Puts CONTENT with MODE in place as TOOLS/NAME unless it is there: written
// beside it, renamed over it, and both made durable before the next step,
// so that no later step can reach the disk without this one. A link there
// is replaced, never written through; a directory there makes it fail.
bool place(const eString& tools, const char* name, const std::string& content, unsigned mode)
{
    eString path = tools + "/" + name, scratch = path + ".new";
    if (holds(path, content, mode)) {
        // A stopped run may have left its scratch file, or renamed the file
        // there unsynced. Unchecked: a scratch file that stays is clutter.
        removeTree(scratch);
        return syncDirectory(tools);
    }
    if (!writeNewFile(scratch, content, mode))
        return false;
    if (std::rename(scratch.c_str(), path.c_str()) != 0) {
        std::remove(scratch.c_str());  // the failure is reported either way
        return false;
    }
    return syncDirectory(tools);
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
    return !dropped || syncDirectory(tools);
}

} // namespace

// Why every instant holds: a script with its head alone starts no slot, so
// it goes with any whole configuration, and the old and the new script each
// go with their own configuration. While both files change, the script is
// first cut to its head, then the configuration is replaced beside it, then
// the script. When one file already holds its new bytes, replacing the
// other goes from the old pair to the new one in one step, so the head step
// is left out (a colour change touches tools/lcdmenu.conf alone). Each step
// is on the disk before the next begins.
bool replaceBootMenu(const eString& tools, const std::string& head, const std::string& script,
    const std::string& config)
{
    bool menuKept = holds(tools + "/menu", script, 0755), confKept = holds(tools + "/lcdmenu.conf", config, 0644);
    if (!menuKept && !confKept && !withdrawStartLines(tools, head))
        return false;
    if (!place(tools, "lcdmenu.conf", config, 0644) || !place(tools, "menu", script, 0755))
        return false;
    dropLinkLayout(tools);  // unchecked: the pair is in place; the next run tries again
    return true;
}

bool withdrawStartLines(const eString& tools, const std::string& head)
{
    return place(tools, "menu", head, 0755);
}
