#include "store/slotswitch.h"

#include "store/bootmenu.h"
#include "store/context.h"
#include "store/durable.h"
#include "store/nameedit.h"

namespace {

bool take(const std::function<bool()>& step)
{
    return !step || step();
}

// Step 1, and the head in place.
bool withdraw(MenuSwitch& menu)
{
    // Barrier 1: the head's content, and what a stopped run left, durable
    // before the head replaces the script; a cut after that rename could
    // leave a script cut short.
    return menu.stageHead() && syncFileSystem(mpoint) && menu.withdraw();
}

} // namespace

SwitchEnd switchSlot(const SlotSteps& steps)
{
    clearStaleNames();
    std::string head;
    if (!readBootHead(head))
        return SwitchEnd::Withheld;
    MenuSwitch menu(toolsDir(), head);
    if (!take(steps.stage))
        return SwitchEnd::StageFailed;
    if (!withdraw(menu))
        return SwitchEnd::Withheld;
    // Once the head is on the disk, a pair that cannot be written stops
    // nothing: the slot changes all the same, and the script stays at its head.
    BootMenu target;
    bool placed = composeBootMenu(target, steps.slot, steps.name) && menu.stage(target.script, target.config);
    // Barrier 2: the head on the disk before the name changes, the new
    // contents durable; a cut after the change could leave an entry starting
    // the slot under a name it no longer has, or no more.
    if (!syncFileSystem(mpoint))
        return SwitchEnd::Withheld;
    if (!take(steps.change))
        return SwitchEnd::ChangeFailed;
    placed = placed && menu.placeConfig();
    // Barrier 3: the name and the configuration on the disk before the
    // script starts slots by them, and before the slot's files go; a cut
    // after that could pair an entry with another slot's item or name, or
    // leave an installed slot that is not whole.
    bool synced = syncFileSystem(mpoint);
    bool cleared = synced && take(steps.clear);
    placed = synced && placed && menu.placeScript();
    // Barrier 4: the script, and the slot's files gone, on the disk before
    // success is said; a cut would leave the menu at its head.
    placed = syncFileSystem(mpoint) && placed;
    if (placed)
        menu.dropOldLayout();
    return !cleared ? SwitchEnd::ClearFailed : placed ? SwitchEnd::Done : SwitchEnd::MenuFailed;
}
