#include "store/imagename.h"

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>

#include "store/durable.h"
#include "store/slots.h"

eString imageName(const eString& nr, const eString& typed)
{
    if (!typed.empty())
        return typed;
    eString name;
    return name.sprintf("Image-%s", nr.c_str());
}

bool stageSlotFile(const eString& dir, const char* name, const std::string& content)
{
    return writeFreshFile(dir + "/" + name + ".new", content, 0644);
}

bool placeSlotFile(const eString& dir, const char* name)
{
    eString path = dir + "/" + name, fresh = path + ".new";
    // rename replaces a file or a link, but not a directory.
    std::error_code error;
    if (std::rename(fresh.c_str(), path.c_str()) != 0) {
        std::filesystem::remove_all(path.c_str(), error);
        if (error || std::rename(fresh.c_str(), path.c_str()) != 0) {
            std::remove(fresh.c_str());  // the failure is reported either way
            return false;
        }
    }
    return true;
}

bool replaceSlotFile(const eString& dir, const char* name, const std::string& content)
{
    return stageSlotFile(dir, name, content) && placeSlotFile(dir, name);
}

eString imageInfoLine(const eString& name)
{
    eString line;
    return line.sprintf("name=%s\n", name.c_str());
}

bool writeImageInfo(const eString& dir, const eString& name)
{
    return replaceSlotFile(dir, "Image.info", imageInfoLine(name));
}

void removeStaleNameFile(int slot)
{
    eString dir;
    dir.sprintf("%s/%d", imagesDir().c_str(), slot);
    struct stat st;
    if (lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        removeTree(dir + "/Image.info.new");  // unchecked: a leftover that stays harms nothing
}

void clearStaleNames()
{
    for (int slot = 0; slot < slotCount; ++slot) {
        if (probeSlot(slot) != SlotState::Free)
            removeStaleNameFile(slot);
    }
}
