#include "manage/slotedit.h"

#include <sys/stat.h>

#include "store/context.h"
#include "store/durable.h"
#include "store/imagename.h"
#include "store/nameedit.h"
#include "store/shell.h"
#include "store/slots.h"
#include "store/storecheck.h"

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
    // No entry may start the slot under its old name once the new one is
    // on the disk; the caller puts the start lines back.
    if (!withdrawBootMenu())
        return bootMenuFailure();
    if (!writeImageInfo(slotDir(nr), imageName(nr, typed)))
        return Outcome::failed("could not rename Image");
    return Outcome::done("Rename Image complete");
}

Outcome eraseImage(const eString& nr)
{
    // The start lines go before the name, and come back without the slot
    // before its files go: stopped on the way, it is left corrupted and no
    // entry starts it. While they cannot go, nothing of the slot goes.
    if (!withdrawBootMenu()) {
        std::optional<Outcome> readOnly = refuseReadOnlyStore();
        return readOnly ? *readOnly : bootMenuFailure();
    }
    eString dir = slotDir(nr), images = imagesDir();
    struct stat st;
    // A link goes itself, at once: what it leads to is no part of the store.
    bool link = lstat(dir.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
    if (!(link ? removeTree(dir) && syncDirectory(images) : removeImageInfo(dir)))
        return Outcome::failed("could not erase Image");
    bool menuWritten = nameedit();
    if (!runFormatted("rm -rf %s/image/%s", mpoint, nr) || !syncDirectory(images))
        return Outcome::failed("could not erase Image");
    return menuWritten ? Outcome::done("Erase Image complete") : bootMenuFailure();
}
