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

bool replaceSlotFile(const eString& dir, const char* name, const std::string& content)
{
    eString path = dir + "/" + name, fresh = path + ".new";
    if (!writeNewFile(fresh, content, 0644))
        return false;
    // rename replaces a file or a link, but not a directory.
    std::error_code error;
    if (std::rename(fresh.c_str(), path.c_str()) != 0) {
        std::filesystem::remove_all(path.c_str(), error);
        if (error || std::rename(fresh.c_str(), path.c_str()) != 0) {
            std::remove(fresh.c_str());  // the failure is reported either way
            return false;
        }
    }
    return syncDirectory(dir);
}

bool writeImageInfo(const eString& dir, const eString& name)
{
    eString line;
    return replaceSlotFile(dir, "Image.info", line.sprintf("name=%s\n", name.c_str()));
}

bool removeImageInfo(const eString& dir)
{
    std::error_code error;
    bool removed = std::filesystem::remove_all((dir + "/Image.info").c_str(), error) > 0;
    return !error && (!removed || syncDirectory(dir));
}

void removeStaleNameFile(int slot)
{
    eString dir;
    dir.sprintf("%s/%d", imagesDir().c_str(), slot);
    struct stat st;
    if (lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        removeTree(dir + "/Image.info.new");  // unchecked: a leftover that stays harms nothing
}
