#include "install/stillthere.h"

#include "install/slotpath.h"
#include "store/context.h"
#include "store/slots.h"

std::optional<Outcome> refuseSlotTaken(const eString& nr)
{
    if (!entryExists(slotDir(nr)))
        return std::nullopt;
    return Outcome::refused("slot " + nr + " is not free");
}

std::optional<Outcome> refuseImageGone(const eString& file)
{
    if (entryExists(mpoint + "/" + file))
        return std::nullopt;
    return Outcome::refused("no image file " + file);
}
