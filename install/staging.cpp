#include "install/staging.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#include "plugin/globals.h"
#include "store/durable.h"
#include "store/handles.h"
#include "store/shell.h"

namespace {

bool isMountPoint(const char* dir)
{
    struct stat here, parent;
    eString up = eString(dir) + "/..";
    return stat(dir, &here) == 0 && stat(up.c_str(), &parent) == 0 && here.st_dev != parent.st_dev;
}

} // namespace

bool mountPointReady()
{
    // Through a link, the whole installation would work somewhere else.
    struct stat st;
    if (lstat("/tmp/image", &st) != 0)
        return errno == ENOENT && mkdir("/tmp/image", 0755) == 0;
    if (!S_ISDIR(st.st_mode))
        return false;
    for (int tries = 0; isMountPoint("/tmp/image"); ++tries) {
        if (tries == 3 || !unmountImage())
            return false;
    }
    return true;
}

bool unmountImage()
{
    // The system's umount, not umount(2): it also frees the loop device,
    // which a box's older mount does not set to clear itself.
    return runCommand("umount /tmp/image");
}

eString scratchName(const eString& nr)
{
    return ".install-" + nr;
}

void removeLeftovers()
{
    eString images = mpoint + "/image/";
    DirHandle dir = openDir(images);
    eString prefix = scratchName("");
    struct stat st;
    // Unchecked: whatever stays is only in the way of a later step, which reports it.
    while (const dirent* entry = dir ? readdir(dir.get()) : nullptr) {
        eString path = images + entry->d_name;
        if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0)
            removeTree(path);
        else if (entry->d_name[0] != '.' && lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            removeTree(path + "/Image.info.new");
    }
}
