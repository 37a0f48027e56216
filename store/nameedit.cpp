#include "store/nameedit.h"

#include <optional>

#include "store/actionlog.h"
#include "store/bootmenu.h"
#include "store/context.h"
#include "store/durable.h"
#include "store/imagename.h"
#include "store/slotmenu.h"
#include "store/slotswitch.h"
#include "store/storecheck.h"

// The switch of store/bootmenu.h with no slot changing: when both files
// change it goes through the head as an action does; otherwise the files
// that change are renamed from what barrier 1 made durable.
bool nameedit()
{
    clearStaleNames();
    BootMenu target;
    if (!composeBootMenu(target))
        return false;
    MenuSwitch menu(toolsDir(), target.head);
    if (menu.throughHead(target.script, target.config))
        return switchSlot(SlotSteps()) == SwitchEnd::Done;
    if (!menu.stage(target.script, target.config))
        return false;
    bool switching = menu.anyStaged();
    if (!switching)
        writeExpectedAction();  // barrier 1 is the last
    // Barrier 1: contents and a stopped run's renames durable first; else a cut may name what it took back.
    if (!syncFileSystem(mpoint) || !menu.placeConfig())
        return false;
    // After a head only: the configuration on the disk first; else a cut may pair it with the new script.
    if (menu.renamed() && menu.scriptPending() && !syncDirectory(toolsDir()))
        return false;
    if (!menu.placeScript())
        return false;
    if (switching)
        writeExpectedAction();
    // Barrier 2: the renamed files, and the log's line beside them, on the disk before success; else a cut
    // brings back the old ones.
    if (switching && !syncFileSystem(mpoint))
        return false;
    menu.dropOldLayout();
    return true;
}

Outcome bootMenuFailure()
{
    Outcome failure = Outcome::failed("could not write boot menu");
    if (std::optional<Outcome> noTools = refuseWithoutBootTools())
        failure.detail = noTools->message;
    else if (std::optional<Outcome> large = refuseLargeBootHead())
        failure.detail = large->detail;
    return failure;
}
