#include "install/staging.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "install/checkedimage.h"
#include "store/context.h"
#include "store/durable.h"
#include "store/imagename.h"
#include "store/shell.h"
#include "store/slots.h"

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
    // A killed run's processes may hold its mount a while longer: waited
    // for, every quarter second for 3 s, then detached to go once they end.
    constexpr int waits = 12, stacked = 4;
    for (int tries = 0; isMountPoint("/tmp/image"); ++tries) {
        if (tries == waits + stacked)
            return false;
        if (tries >= waits)
            runMount("umount -l /tmp/image");  // unchecked: the loop tests the mount
        else if (!runMount("umount /tmp/image 2>/dev/null"))
            usleep(250000);
    }
    return true;
}

namespace {

CommandOptions mountOptions()
{
    CommandOptions mount;
    mount.limitMs = mountLimitMs;
    return mount;
}

// The system's umount, not umount(2): it keeps a box's /etc/mtab, where its
// mount writes one, in step. A loop device that a box's older mount bound
// without auto-clear stays bound after it: the installation's LoopRelease
// (install/loopdevices.h) frees that.
const char unmountLine[] = "umount /tmp/image";

} // namespace

bool runMount(const eString& line)
{
    return runWatched(line, mountOptions()) == CommandEnd::Succeeded;
}

bool unmountImage()
{
    return runMount(unmountLine);
}

void startUnmount(std::optional<StartedCommand>& unmount)
{
    unmount.emplace(unmountLine, mountOptions());
}

eString scratchName(const eString& nr)
{
    return ".install-" + nr;
}

eString cutPath(const eString& nr)
{
    return mpoint + "/.cut-" + nr;
}

void removeLeftovers()
{
    // Unchecked: whatever stays is only in the way of a later step, which reports it.
    for (int slot = 0; slot < slotCount; ++slot) {
        eString nr = slotText(slot);
        removeTree(imagesDir() + "/" + scratchName(nr));
        removeTree(cutPath(nr));
        removeTree(checkedPath(nr));
        removeStaleNameFile(slot);
    }
}
