#include "store/defaultslot.h"

#include <cerrno>
#include <cstdio>
#include <string>

#include "store/context.h"
#include "store/durable.h"
#include "store/slots.h"

namespace {

eString defaultFile()
{
    return mpoint + "/tools/default.slot";
}

} // namespace

std::optional<int> defaultSlot()
{
    std::string text;
    unsigned mode = 0;
    if (!readWholeFile(defaultFile(), text, mode, 16) || text.size() != 2 || text[1] != '\n' || text[0] < '0' ||
        text[0] >= '0' + slotCount)
        return std::nullopt;
    return text[0] - '0';
}

bool rememberDefaultSlot(std::optional<int> slot)
{
    eString path = defaultFile(), scratch = path + ".new";
    if (!slot)
        return (std::remove(path.c_str()) == 0 || errno == ENOENT) && syncDirectory(mpoint + "/tools");
    // Content durable before the rename, or a cut may leave the file empty.
    bool written = writeFreshFile(scratch, std::to_string(*slot) + "\n", 0644) && syncFileSystem(mpoint) &&
        std::rename(scratch.c_str(), path.c_str()) == 0;
    if (!written)
        std::remove(scratch.c_str());
    return written && syncDirectory(mpoint + "/tools");
}

bool forgetDefaultSlot(int slot)
{
    return defaultSlot() != slot || std::remove(defaultFile().c_str()) == 0 || errno == ENOENT;
}

void forgetStaleDefault()
{
    std::remove((defaultFile() + ".new").c_str());  // what a stopped choice left
    std::optional<int> chosen = defaultSlot();
    if (chosen && probeSlot(*chosen) != SlotState::Installed)
        forgetDefaultSlot(*chosen);
}
