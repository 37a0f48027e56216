#include "manage/slotedit.h"

#include "plugin/globals.h"
#include "store/durable.h"
#include "store/imagename.h"
#include "store/nameedit.h"
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
    if (!writeImageInfo(slotDir(nr), imageName(nr, typed)))
        return Outcome::failed("could not rename Image");
    return Outcome::done("Rename Image complete");
}

Outcome eraseImage(const eString& nr)
{
    // Out of the installed state and out of the boot menu first: stopped
    // while its files go, the slot is left corrupted, and no item starts it.
    if (!removeImageInfo(slotDir(nr)))
        return Outcome::failed("could not erase Image");
    if (!nameedit())
        return bootMenuFailure();
    eString images;
    if (!runFormatted("rm -rf %s/image/%s", mpoint, nr) ||
        !syncDirectory(images.sprintf("%s/image", mpoint.c_str())))
        return Outcome::failed("could not erase Image");
    return Outcome::done("Erase Image complete");
}
