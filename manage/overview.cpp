#include "manage/overview.h"

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/context.h"
#include "store/durable.h"
#include "store/shell.h"

eString sizeText(const char* duFile)
{
    // Never read through a link, nor wait on a pipe put there.
    Descriptor du(closeOnExec(open(duFile, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)));
    struct stat st;
    if (!du || fstat(du.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return "";
    char line[1024];
    ssize_t length = read(du.get(), line, sizeof line - 1);
    if (length <= 0)
        return "? kB";
    line[length] = '\0';
    if (char* end = std::strchr(line, '\n'))
        end[1] = '\0';  // only the first line counts
    eString size = line;
    const char* slash = std::strchr(line, '/');
    if (slash && slash > line)
        size.resize(slash - line - 1);
    return size + " kB";
}

eString SlotMeasure::sizeOf(int slot, const char* outFile)
{
    if (!answering)
        return sizeUnknown;
    // Whatever stands at OUT_FILE goes, so du never writes through a link
    // into another file; it writes into the file made here instead.
    Descriptor out = createFresh(outFile);
    if (!out)
        return "";
    CommandOptions du;
    du.handed = {out.get()};
    du.limitMs = limitMs;
    // Otherwise unchecked: a failed du leaves an empty or partial file, which the size text shows.
    eString line = formatLine("%s/tools/du -s %s/image/%d >&%d", mpoint, mpoint, slot, handedDescriptor);
    if (runWatched(line, du) == CommandEnd::TimedOut) {
        answering = false;
        return sizeUnknown;
    }
    return sizeText(outFile);
}

eString statusText(int slot, SlotState state)
{
    switch (state) {
    case SlotState::Installed:
        return slotName(slot);
    case SlotState::Corrupted:
        return "corrupted";
    case SlotState::Free:
        break;
    }
    return "----------";
}
