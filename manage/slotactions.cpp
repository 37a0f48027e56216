#include "manage/slotactions.h"

#include <functional>

#include "manage/colorchoice.h"
#include "manage/slotedit.h"
#include "store/context.h"
#include "store/defaultslot.h"
#include "store/lock.h"
#include "store/nameedit.h"
#include "store/slots.h"
#include "store/storecheck.h"

namespace {

// ACTION under the store's lock, held until the boot menu is rebuilt.
std::optional<Outcome> locked(const std::function<std::optional<Outcome>()>& action)
{
    StoreLock lock(mpoint, storeWaitMs);
    if (lock.busy())
        return storeBusy();
    if (std::optional<Outcome> readOnly = refuseReadOnlyStore())
        return readOnly;
    std::optional<Outcome> outcome = action();
    // Every attempt ends with the boot menu rebuilt: a success of a rename
    // or an erase has rebuilt it on the disk already.
    if ((!outcome || outcome->kind != Outcome::Done) && !nameedit() && !outcome)
        outcome = bootMenuFailure();
    return outcome;
}

} // namespace

Outcome renameSlot(const eString& nr, const eString& typed)
{
    return *locked([&] { return renameImage(nr, typed); });
}

Outcome eraseSlot(const eString& nr)
{
    return *locked([&] { return eraseImage(nr); });
}

std::optional<Outcome> applyColor(intptr_t key)
{
    return locked([&] {
        chooseColor(key);
        return std::optional<Outcome>();
    });
}

Outcome chooseDefault(std::optional<int> slot)
{
    std::optional<Outcome> outcome = locked([&]() -> std::optional<Outcome> {
        if (slot && probeSlot(*slot) != SlotState::Installed)
            return Outcome::refused(eString().sprintf("no Image in slot %d", *slot));
        if (!rememberDefaultSlot(slot))
            return Outcome::failed("could not write tools/default.slot");
        return std::nullopt;
    });
    if (outcome)
        return *outcome;
    return Outcome::done(slot ? eString().sprintf("boot menu starts slot %d (%s) by default", *slot,
                                    slotName(*slot).c_str())
                              : eString("boot menu starts the firmware in flash by default"));
}

Outcome rewriteBootMenu()
{
    std::optional<Outcome> outcome = locked([] { return std::optional<Outcome>(); });
    return outcome ? *outcome : Outcome::done("boot menu written");
}
