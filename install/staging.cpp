#include "install/staging.h"

#include <cerrno>
#include <sys/stat.h>

#include "plugin/globals.h"
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
        if (tries == 3 || !runCommand("umount /tmp/image"))
            return false;
    }
    return true;
}

eString scratchName(const eString& nr)
{
    return ".install-" + nr;
}

void removeLeftovers()
{
    eString images = shellQuote(mpoint) + "/image/";
    // Unchecked: whatever stays is only in the way of a later step, which reports it.
    runCommand("rm -rf " + images + scratchName("*") + " " + images + "*/Image.info.new");
}
