#include "store/slotswitch.h"

#include "store/actionlog.h"
#include "store/bootmenu.h"
#include "store/context.h"
#include "store/durable.h"
#include "store/imagename.h"
#include "store/slotmenu.h"

namespace {

bool take(const std::function<bool()>& step)
{
    return !step || step();
}

// Step 1, and the head in place.
bool withdraw(MenuSwitch& menu)
{
    // Barrier 1: the head's content durable before it replaces the script; else a cut may leave it cut short.
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
    if (!take(steps.unlist))
        return SwitchEnd::ChangeFailed;
    // Once the head is on the disk, a pair that cannot be written stops
    // nothing: the slot changes all the same, and the script stays at its head.
    BootMenu target;
    bool placed = composeBootMenu(target, steps.slot, steps.name) && menu.stage(target.script, target.config);
    // Barrier 2: the head on the disk before the slot changes; else a cut may start it under a name it lost.
    if (!syncFileSystem(mpoint))
        return SwitchEnd::Withheld;
    if (!take(steps.change))
        return SwitchEnd::ChangeFailed;
    placed = placed && menu.placeConfig();
    // Barrier 3: name and configuration on the disk before script and files; else a cut may pair them wrong.
    bool synced = syncFileSystem(mpoint);
    bool cleared = synced && take(steps.clear);
    placed = synced && placed && menu.placeScript();
    if (cleared && placed)
        writeExpectedAction();
    // Barrier 4: the script, the removals and the log's line on the disk before success; else a cut leaves the
    // menu at its head.
    placed = syncFileSystem(mpoint) && placed;
    if (placed)
        menu.dropOldLayout();
    return !cleared ? SwitchEnd::ClearFailed : placed ? SwitchEnd::Done : SwitchEnd::MenuFailed;
}
