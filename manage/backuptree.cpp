#include "manage/backuptree.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "install/slotpath.h"
#include "store/descriptor.h"
#include "store/durable.h"
#include "store/handles.h"
#include "store/shell.h"
#include "store/slots.h"

namespace {

// The mount table's escapes (\040 for a blank) undone.
std::string unescaped(const std::string& field)
{
    std::string plain;
    for (size_t at = 0; at < field.size(); ++at) {
        if (field[at] == '\\' && at + 3 < field.size()) {
            plain += static_cast<char>(std::strtol(field.substr(at + 1, 3).c_str(), nullptr, 8));
            at += 3;
        } else {
            plain += field[at];
        }
    }
    return plain;
}

// Directory NAME in DIR, opened without following a link.
Descriptor openChild(int dir, const char* name)
{
    return Descriptor(closeOnExec(openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)));
}

// The directory RELATIVE below TOP, a component at a time: empty where one
// is missing or a link.
Descriptor openBelow(int top, const std::string& relative)
{
    Descriptor dir = openChild(top, ".");
    for (size_t from = 0; dir && from < relative.size();) {
        size_t slash = std::min(relative.find('/', from), relative.size());
        if (slash > from)
            dir = openChild(dir.get(), relative.substr(from, slash - from).c_str());
        from = slash + 1;
    }
    return dir;
}

// Removes NAME from DIR with all below it; a link is removed, not followed.
bool removeAt(int dir, const char* name)
{
    if (unlinkat(dir, name, 0) == 0 || errno == ENOENT)
        return true;
    if (errno != EISDIR)
        return false;
    Descriptor inner = openChild(dir, name);
    DirHandle entries(inner ? fdopendir(duplicateNoInherit(inner.get(), 0)) : nullptr);
    // Named first, removed after: the listing is not read while it shrinks.
    std::vector<std::string> names;
    while (const dirent* entry = entries ? readdir(entries.get()) : nullptr) {
        if (std::string(".") != entry->d_name && std::string("..") != entry->d_name)
            names.push_back(entry->d_name);
    }
    bool emptied = bool(entries);
    for (const std::string& child : names)
        emptied = removeAt(inner.get(), child.c_str()) && emptied;
    return emptied && unlinkat(dir, name, AT_REMOVEDIR) == 0;
}

} // namespace

eString mountPointInSlot(int slot)
{
    eString dir = realPathOf(slotDirPath(slot));
    FileHandle mounts = dir.empty() ? FileHandle() : openFile("/proc/mounts", "r");
    char line[8192], point[4096];
    while (mounts && std::fgets(line, sizeof line, mounts.get())) {
        eString path = std::sscanf(line, "%*s %4095s", point) == 1 ? unescaped(point) : "";
        if (path == dir || path.compare(0, dir.size() + 1, dir + "/") == 0)
            return path;
    }
    return "";
}

bool linkSlotTree(int slot, const eString& root)
{
    size_t slash = root.rfind('/');
    eString scratch = root.substr(0, slash);
    return slash != std::string::npos && removeTree(scratch) && makeDirectory(scratch, 0700) &&
        runFormatted("cp -al %s %s", slotDir(slotText(slot)), root);
}

bool undoInstallation(const eString& root)
{
    Descriptor top(closeOnExec(open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)));
    if (!top)
        return false;
    // Unchecked: an entry the slot lacks is one its image lacked too. The
    // paths are looked up as the booted image sees them, never leaving ROOT,
    // and only their last directory's descriptor is changed.
    eString scripts = pathInSlot(root, "etc/init.d", LastLink::Follow);
    Descriptor dir = scripts.empty() ? Descriptor() : openBelow(top.get(), scripts.substr(root.size()));
    if (dir && isRegularFile(pathInSlot(root, "etc/init.d/rcS_org", LastLink::Follow)))
        renameat(dir.get(), "rcS_org", dir.get(), "rcS");
    struct stat st;
    if (isDirectory(pathInSlot(root, "var", LastLink::Follow)) &&
        fstatat(top.get(), "var_init", &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT)
        renameat(top.get(), "var", top.get(), "var_init");
    for (const char* ours : {"go", "Image.info", "Image.details", "Image.info.new", "Image.details.new"})
        removeAt(top.get(), ours);
    return true;
}
