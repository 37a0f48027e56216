#include "manage/slotactions.h"

#include <cstdlib>
#include <functional>
#include <sys/stat.h>

#include "manage/colorchoice.h"
#include "manage/slotedit.h"
#include "store/actionlog.h"
#include "store/context.h"
#include "store/defaultslot.h"
#include "store/diskcolor.h"
#include "store/lock.h"
#include "store/nameedit.h"
#include "store/slotmenu.h"
#include "store/slots.h"
#include "store/storecheck.h"

namespace {

// ACTION under the store's lock, held until the boot menu is rebuilt and
// the action logged as NAME on SLOT, with DONE as a silent success's text;
// with DONE empty a silent success logs no line.
std::optional<Outcome> locked(const char* name, const eString& slot,
    const std::function<std::optional<Outcome>()>& action, const eString& done = "boot menu written")
{
    StoreLock lock(mpoint, storeWaitMs, name);
    if (lock.busy())
        return storeBusy();
    if (std::optional<Outcome> readOnly = refuseReadOnlyStore())
        return readOnly;
    if (std::optional<Outcome> large = refuseLargeBootHead())
        return large;
    followDiskColor();
    forgetStaleDefault();
    std::optional<ExpectedAction> expected;
    if (!done.empty())
        expected.emplace(name, slot, done);
    std::optional<Outcome> outcome = action();
    if (outcome && outcome->kind != Outcome::Done)
        forgetExpectedAction();
    else if (!outcome && expected)
        expected.emplace(name, slot, done);  // as the action filled it in
    // Every attempt ends with the boot menu rebuilt: a success of a rename
    // or an erase has rebuilt it on the disk already.
    if ((!outcome || outcome->kind != Outcome::Done) && !nameedit() && !outcome)
        outcome = bootMenuFailure();
    if (outcome || expected)
        logAction(name, slot, outcome ? *outcome : Outcome::done(done));
    return outcome;
}

} // namespace

Outcome renameSlot(const eString& nr, const eString& typed)
{
    return *locked("rename", nr, [&] { return renameImage(nr, typed); }, renamedText);
}

bool SlotIdentity::operator==(const SlotIdentity& other) const
{
    return device == other.device && inode == other.inode && name == other.name;
}

std::optional<SlotIdentity> identifySlot(int slot)
{
    struct stat st;
    if (probeSlot(slot) == SlotState::Free || lstat(slotDir(slotText(slot)).c_str(), &st) != 0)
        return std::nullopt;
    return SlotIdentity{st.st_dev, st.st_ino, slotName(slot)};
}

Outcome eraseSlot(const eString& nr, const std::optional<SlotIdentity>& expected)
{
    return *locked("erase", nr, [&]() -> std::optional<Outcome> {
        // The question was answered for what the slot held then.
        if (expected && !(identifySlot(atoi(nr.c_str())) == expected))
            return Outcome::refused("slot " + nr + " changed, not erased");
        return eraseImage(nr);
    }, erasedText);
}

std::optional<Outcome> applyColor(intptr_t key)
{
    bool chosen = key >= firstColorKey && key <= lastColorKey;
    return locked("color", "", [&] {
        chooseColor(key);
        return std::optional<Outcome>();
    }, chosen ? eString().sprintf("menu_color=%d", static_cast<int>(key)) : eString());
}

Outcome chooseDefault(std::optional<int> slot)
{
    eString nr = slot ? slotText(*slot) : eString();
    eString said = "boot menu starts the firmware in flash by default";  // read by locked() after the action
    std::optional<Outcome> outcome = locked("default", nr, [&]() -> std::optional<Outcome> {
        if (slot && probeSlot(*slot) != SlotState::Installed)
            return Outcome::refused(eString().sprintf("no Image in slot %d", *slot));
        if (!rememberDefaultSlot(slot))
            return Outcome::failed("could not write tools/default.slot");
        if (slot)
            said.sprintf("boot menu starts slot %d (%s) by default", *slot, slotName(*slot).c_str());
        return std::nullopt;
    }, said);
    return outcome ? *outcome : Outcome::done(said);
}

Outcome rewriteBootMenu()
{
    std::optional<Outcome> outcome = locked("menu", "", [] { return std::optional<Outcome>(); });
    return outcome ? *outcome : Outcome::done("boot menu written");
}
