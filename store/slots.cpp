#include "store/slots.h"

#include "host/eskin.h"
#include "store/context.h"
#include "store/durable.h"
#include "store/handles.h"

eString imagesDir()
{
    return mpoint + "/image";
}

eString slotDirPath(int slot)
{
    eString path;
    return path.sprintf("%s/image/%d/", mpoint.c_str(), slot);
}

eString slotDir(const eString& nr)
{
    eString path;
    return path.sprintf("%s/image/%s", mpoint.c_str(), nr.c_str());
}

eString slotText(int slot)
{
    return eString().sprintf("%d", slot);
}

eString slotInfoPath(int slot)
{
    eString path;
    return path.sprintf("%s/image/%d/Image.info", mpoint.c_str(), slot);
}

SlotState probeSlot(int slot)
{
    if (!openDir(slotDirPath(slot)))
        return SlotState::Free;
    if (!isReadableFile(slotInfoPath(slot)))
        return SlotState::Corrupted;
    return SlotState::Installed;
}

eString slotName(int slot)
{
    // The host's reader would wait on a pipe there.
    eString info = slotInfoPath(slot);
    return isReadableFile(info) ? getInfo(info.c_str(), "name") : eString();
}
