#include "install/squashfs.h"

#include <sys/stat.h>
#include <unistd.h>

#include "install/slotpath.h"
#include "install/staging.h"
#include "store/context.h"
#include "store/shell.h"

namespace {

// The cut moves blocks of 64 kB, of which the offset is a whole number.
constexpr int cutBlock = 65536;
static_assert(squashfsOffset % cutBlock == 0);

eString cutPath()
{
    return mpoint + "/squashfs.img";
}

long long kilobytesIn(const eString& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_size / 1024 : 0;
}

// For a mount that cannot take an offset: a copy of the part from the
// offset to the end of the file (the whole part, however large) is mounted.
const char* cutAndMount(const eString& file, const ProgressShown& progress)
{
    eString image = mpoint + "/" + file;
    auto tick = progressTick([image] { return kilobytesIn(image) - squashfsOffset / 1024; },
        [] { return kilobytesIn(cutPath()); }, progress);
    if (!runFormattedPolled(tick, "dd if=%s/%s of=%s bs=%d skip=%d", mpoint, file, cutPath(), cutBlock,
            squashfsOffset / cutBlock))
        return "could not cut squashfs";
    if (!runFormatted("mount -t squashfs %s /tmp/image -o loop", cutPath()))
        return "could not mount squashfs";
    return nullptr;
}

} // namespace

bool isCramfsHead()
{
    return !entryExists("/tmp/image/bin");
}

const char* mountSquashfsPart(const eString& file, bool& cut, const ProgressShown& progress)
{
    if (!unmountImage())
        return "could not unmount cramfs";
    // The cut writes squashfs.img: an image of that name would be cut over
    // itself where mount needs the cut, so it is refused on every system.
    if (file == "squashfs.img")
        return "could not cut squashfs";
    cut = true;
    // Its complaint is no news: the cut is tried next.
    if (runFormatted("mount -t squashfs -o loop,offset=%d %s/%s /tmp/image 2>/dev/null",
            squashfsOffset, mpoint, file))
        return nullptr;
    return cutAndMount(file, progress);
}

void removeCut()
{
    unlink(cutPath().c_str());  // unchecked: there is usually none, and a leftover harms nothing
}
