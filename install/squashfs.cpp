#include "install/squashfs.h"

#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "install/imagecheck.h"
#include "install/loopdevices.h"
#include "install/slotpath.h"
#include "install/space.h"
#include "install/staging.h"
#include "store/context.h"
#include "store/descriptor.h"
#include "store/durable.h"
#include "store/handles.h"
#include "store/shell.h"
#include "store/steptrace.h"

namespace {

// The cut moves blocks of 64 kB, of which the offset is a whole number.
constexpr int cutBlock = 65536;
static_assert(squashfsOffset % cutBlock == 0);

long long kilobytesIn(const eString& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_size / 1024 : 0;
}

// BYTES of the part of IMAGE, to the handed descriptor: its whole blocks,
// then the rest in one read by a second dd that goes on where the first
// ended (they share the shell's descriptor), so that not a byte more is
// written than the part holds, with any dd.
eString cutLine(const eString& image, long long bytes)
{
    eString line = formatLine("{ dd bs=%d skip=%d count=%lld", cutBlock, squashfsOffset / cutBlock, bytes / cutBlock);
    if (bytes % cutBlock != 0)
        line += formatLine(" && dd bs=%lld count=1", bytes % cutBlock);
    return line + formatLine("; } <%s >&%d", image, handedDescriptor);
}

// For a mount that cannot take an offset: a copy of the part (as far as it
// can hold a squashfs), made in a file of our own that dd only writes to,
// is mounted instead, when the store has room for it.
std::optional<Outcome> cutAndMount(const eString& image, const eString& cutFile, bool& cutMade,
    LoopRelease& loops, const ProgressShown& progress)
{
    long long bytes = squashfsCutBytes(image);
    long long kilobytes = (bytes + 1023) / 1024;
    if (kilobytes > freeKilobytes(mpoint))
        return noSpace(kilobytes);
    Descriptor out(closeOnExec(open(cutFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644)));
    cutMade = static_cast<bool>(out);
    CommandOptions cut;
    cut.tick = progressTick([kilobytes] { return kilobytes; }, [cutFile] { return kilobytesIn(cutFile); }, progress);
    cut.handed = {out.get()};
    if (!out || runWatched(cutLine(image, bytes), cut) != CommandEnd::Succeeded || !out.close())
        return Outcome::failed("could not cut squashfs");
    loops.note(cutFile);
    if (!runMount(formatLine("mount -t squashfs %s /tmp/image -o loop", cutFile)))
        return Outcome::failed("could not mount squashfs");
    return std::nullopt;
}

} // namespace

bool isCramfsHead()
{
    return !entryExists("/tmp/image/bin");
}

bool isBackupHead()
{
    DirHandle dir = openDir("/tmp/image");
    int entries = 0;
    while (const dirent* entry = dir ? readdir(dir.get()) : nullptr)
        entries += std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0;
    struct stat st;
    std::string text;
    unsigned mode = 0;
    const std::string start = "backup of ";
    return entries == 1 && lstat("/tmp/image/README", &st) == 0 && S_ISREG(st.st_mode) &&
        readWholeFile("/tmp/image/README", text, mode, 256) && text.compare(0, start.size(), start) == 0 &&
        text.find('\n') == text.size() - 1;
}

std::optional<Outcome> mountSquashfsPart(const eString& image, const eString& cutFile, bool& cutMade,
    LoopRelease& loops, const ProgressShown& progress)
{
    if (!unmountImage())
        return Outcome::failed("could not unmount cramfs");
    markStep("squashfs mount");
    // Its complaint is no news: the cut is tried next.
    if (runMount(formatLine("mount -t squashfs -o loop,offset=%d %s /tmp/image 2>/dev/null", squashfsOffset, image)))
        return std::nullopt;
    return cutAndMount(image, cutFile, cutMade, loops, progress);
}
