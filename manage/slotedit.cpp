#include "manage/slotedit.h"

#include <cstdlib>
#include <sys/stat.h>

#include "store/context.h"
#include "store/defaultslot.h"
#include "store/durable.h"
#include "store/imagename.h"
#include "store/nameedit.h"
#include "store/shell.h"
#include "store/slotdetails.h"
#include "store/slotmenu.h"
#include "store/slots.h"
#include "store/slotswitch.h"
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
    // on the disk: the switch withdraws the start lines around the change.
    eString dir = slotDir(nr), name = imageName(nr, typed);
    SlotSteps steps;
    steps.slot = atoi(nr.c_str());
    steps.name = name;
    steps.stage = [&] { return stageSlotFile(dir, "Image.info", imageInfoLine(name)); };
    steps.change = [&] { return placeSlotFile(dir, "Image.info"); };
    switch (switchSlot(steps)) {
    case SwitchEnd::Done:
        return Outcome::done(renamedText);
    case SwitchEnd::StageFailed:
    case SwitchEnd::ChangeFailed:
        return Outcome::failed("could not rename Image");
    default:
        return bootMenuFailure();
    }
}

namespace {

// Without tools/ no boot menu on the disk can start the slot: it goes as
// the classic erase took it, and the boot menu's failure is said after.
Outcome eraseWithoutTools(const eString& nr, bool link)
{
    eString dir = slotDir(nr);
    bool gone = link ? removeTree(dir) : removeImageInfo(dir) && runFormatted("rm -rf %s/image/%s", mpoint, nr);
    if (!gone || !syncFileSystem(mpoint))
        return Outcome::failed("could not erase Image");
    Outcome failure = bootMenuFailure();
    failure.detail = "slot " + nr + " erased; " + failure.detail;
    return failure;
}

} // namespace

Outcome eraseImage(const eString& nr)
{
    // The start lines go before the name, and come back without the slot
    // before its files go: stopped on the way, it is left corrupted and no
    // entry starts it. While they cannot go, nothing of the slot goes.
    eString dir = slotDir(nr);
    struct stat st;
    // A link goes itself, at once: what it leads to is no part of the store.
    bool link = lstat(dir.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
    SlotSteps steps;
    steps.slot = atoi(nr.c_str());
    // A later installation into the slot is another image: not the
    // default. Forgotten before the slot stops being installed, so the
    // file never names a slot that is not; and once no entry starts it, so
    // the default entry on the disk always goes with the file.
    steps.unlist = [&] { return forgetDefaultSlot(steps.slot); };
    steps.change = [&] { return link ? removeTree(dir) : removeImageInfo(dir); };
    steps.clear = [&] { return link || runFormatted("rm -rf %s/image/%s", mpoint, nr); };
    switch (switchSlot(steps)) {
    case SwitchEnd::Done:
        return Outcome::done(erasedText);
    case SwitchEnd::ChangeFailed:
    case SwitchEnd::ClearFailed:
        return Outcome::failed("could not erase Image");
    case SwitchEnd::Withheld: {
        std::optional<Outcome> readOnly = refuseReadOnlyStore();
        return readOnly ? *readOnly : lstat(toolsDir().c_str(), &st) != 0 ? eraseWithoutTools(nr, link) : bootMenuFailure();
    }
    default:
        return bootMenuFailure();
    }
}
