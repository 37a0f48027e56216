#include "manage/overview.h"

#include <cstring>

#include "plugin/globals.h"
#include "store/handles.h"
#include "store/shell.h"

eString sizeText(const char* duFile)
{
    FileHandle du = openFile(duFile, "r");
    if (!du)
        return "";
    char line[1024];
    if (!std::fgets(line, sizeof line, du.get()))
        return "? kB";
    eString size = line;
    const char* slash = std::strchr(line, '/');
    if (slash && slash > line)
        size.resize(slash - line - 1);
    return size + " kB";
}

eString measureSlot(int slot)
{
    // Unchecked: a failed du leaves an empty or partial file, which the size text shows.
    runFormatted("%s/tools/du -s %s/image/%d > /tmp/du.temp", mpoint, mpoint, slot);
    return sizeText("/tmp/du.temp");
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
