#include "manage/slotedit.h"

#include "plugin/globals.h"
#include "store/imagename.h"
#include "store/shell.h"
#include "store/slots.h"

std::vector<SlotEntry> listSlots(bool withCorrupted)
{
    std::vector<SlotEntry> entries;
    for (int slot = 0; slot < slotCount; ++slot) {
        SlotState state = probeSlot(slot);
        if (state == SlotState::Installed)
            entries.push_back({slot, slotName(slot)});
        else if (state == SlotState::Corrupted && withCorrupted)
            entries.push_back({slot, eString().sprintf("Directory %d", slot)});
    }
    return entries;
}

Outcome renameImage(const eString& nr, const eString& typed)
{
    if (!writeImageInfo(nr, imageName(nr, typed)))
        return Outcome::failed("could not rename Image");
    return Outcome::done("Rename Image complete");
}

Outcome eraseImage(const eString& nr)
{
    if (!runFormatted("rm -rf %s/image/%s", mpoint, nr))
        return Outcome::failed("could not erase Image");
    return Outcome::done("Erase Image complete");
}
