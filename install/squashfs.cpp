#include "install/squashfs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "install/slotpath.h"
#include "install/staging.h"
#include "store/context.h"
#include "store/descriptor.h"
#include "store/shell.h"

namespace {

// The cut moves blocks of 64 kB, of which the offset is a whole number.
constexpr int cutBlock = 65536;
static_assert(squashfsOffset % cutBlock == 0);

long long kilobytesIn(const eString& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_size / 1024 : 0;
}

// CUT_FILE made here and opened for dd's output as a descriptor that the
// shell can name (one digit) and dd inherits: dd opens no path of its own.
Descriptor makeCutFile(const eString& cutFile, bool& cutMade)
{
    Descriptor made(open(cutFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0644));
    cutMade = static_cast<bool>(made);
    if (made && made.get() > 9)
        made = Descriptor(fcntl(made.get(), F_DUPFD, 3));
    return made && made.get() <= 9 ? std::move(made) : Descriptor();
}

// For a mount that cannot take an offset: a copy of the part from the
// offset to the end of the file (the whole part, however large) is mounted.
const char* cutAndMount(const eString& file, const eString& cutFile, bool& cutMade,
    const ProgressShown& progress)
{
    eString image = mpoint + "/" + file;
    auto tick = progressTick([image] { return kilobytesIn(image) - squashfsOffset / 1024; },
        [cutFile] { return kilobytesIn(cutFile); }, progress);
    Descriptor out = makeCutFile(cutFile, cutMade);
    if (!out || !runFormattedPolled(tick, "dd if=%s/%s bs=%d skip=%d >&%d", mpoint, file, cutBlock,
                    squashfsOffset / cutBlock, out.get()) || !out.close())
        return "could not cut squashfs";
    if (!runFormatted("mount -t squashfs %s /tmp/image -o loop", cutFile))
        return "could not mount squashfs";
    return nullptr;
}

} // namespace

bool isCramfsHead()
{
    return !entryExists("/tmp/image/bin");
}

const char* mountSquashfsPart(const eString& file, const eString& cutFile, bool& cutMade,
    const ProgressShown& progress)
{
    if (!unmountImage())
        return "could not unmount cramfs";
    // Its complaint is no news: the cut is tried next.
    if (runFormatted("mount -t squashfs -o loop,offset=%d %s/%s /tmp/image 2>/dev/null",
            squashfsOffset, mpoint, file))
        return nullptr;
    return cutAndMount(file, cutFile, cutMade, progress);
}
