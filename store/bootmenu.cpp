#include "store/bootmenu.h"

#include <cstdio>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

#include "store/durable.h"

namespace {

const char* const generations[] = {"bootmenu.1", "bootmenu.2"};
const char* const pairFiles[] = {"menu", "lcdmenu.conf"};

// What the link PATH names; empty when PATH is no link.
std::string linkTarget(const eString& path)
{
    char target[256];
    ssize_t length = readlink(path.c_str(), target, sizeof target);
    return length > 0 && length < static_cast<ssize_t>(sizeof target) ? std::string(target, length) : "";
}

// The generation tools/bootmenu leads to, or null when it is not one of ours.
const char* currentGeneration(const eString& tools)
{
    std::string target = linkTarget(tools + "/bootmenu");
    for (const char* generation : generations)
        if (target == generation)
            return generation;
    return nullptr;
}

// Both files of the pair are our links through tools/bootmenu.
bool pairLinked(const eString& tools)
{
    for (const char* file : pairFiles)
        if (linkTarget(tools + "/" + file) != std::string("bootmenu/") + file)
            return false;
    return currentGeneration(tools) != nullptr;
}

// Replaces PATH by a link to TARGET, made beside it and renamed into place.
bool placeLink(const eString& path, const std::string& target)
{
    eString scratch = path + ".new";
    return removeTree(scratch) && symlink(target.c_str(), scratch.c_str()) == 0 &&
        std::rename(scratch.c_str(), path.c_str()) == 0;
}

// Fills the directory DIR afresh with CONTENTS of the pair's files (an empty
// content with mode 0 stands for a missing file), durably.
bool writeGeneration(const eString& dir, const std::string (&contents)[2], const unsigned (&modes)[2])
{
    if (!removeTree(dir) || mkdir(dir.c_str(), 0755) != 0)
        return false;
    for (size_t file = 0; file < std::size(pairFiles); ++file)
        if (modes[file] != 0 && !writeNewFile(dir + "/" + pairFiles[file], contents[file], modes[file]))
            return false;
    return syncDirectory(dir);
}

// The generation that tools/bootmenu does not lead to.
const char* otherGeneration(const eString& tools)
{
    return currentGeneration(tools) == generations[0] ? generations[1] : generations[0];
}

// Turns the pair into links to a copy of itself in a generation no link
// leads to yet; each step leaves the pair as the boot side read it before.
// A file that cannot be read (missing, a pipe) stays missing behind its link.
bool adoptPair(const eString& tools)
{
    std::string contents[2];
    unsigned modes[2] = {0, 0};
    for (size_t file = 0; file < std::size(pairFiles); ++file)
        if (!readWholeFile(tools + "/" + pairFiles[file], contents[file], modes[file]))
            modes[file] = 0;
    const char* copy = otherGeneration(tools);
    bool adopted = writeGeneration(tools + "/" + copy, contents, modes) && placeLink(tools + "/bootmenu", copy);
    for (const char* file : pairFiles)
        adopted = adopted && placeLink(tools + "/" + file, std::string("bootmenu/") + file);
    return adopted;
}

} // namespace

bool replaceBootMenu(const eString& tools, const std::string& script, const std::string& config)
{
    if (!pairLinked(tools) && !adoptPair(tools))
        return false;
    const char *old = currentGeneration(tools), *next = otherGeneration(tools);
    if (!writeGeneration(tools + "/" + next, {script, config}, {0755, 0644}) ||
        !placeLink(tools + "/bootmenu", next)) {
        removeTree(tools + "/" + next);  // unchecked: the failure is reported either way
        removeTree(tools + "/bootmenu.new");
        return false;
    }
    removeTree(tools + "/" + old);  // unchecked: no link leads there any more; the next run reuses it
    return syncDirectory(tools);
}
