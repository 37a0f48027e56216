#include "install/installation.h"

#include <cstdio>
#include <unistd.h>

#include "install/checkedimage.h"
#include "install/imagefiles.h"
#include "store/actionlog.h"
#include "store/context.h"
#include "store/durable.h"
#include "store/imagename.h"
#include "store/nameedit.h"
#include "store/slotdetails.h"
#include "store/slotmenu.h"
#include "store/slots.h"
#include "store/steptrace.h"

// The slot's part of the boot menu's switch (store/bootmenu.h), steps 1
// and 2: the tree, its details and Image.info (replacing any the image
// carried) and the script's head written, all of it durable, then the
// scratch directory renamed to the slot: an installed slot is always
// complete. The rest of the switch is publish's.
const char* Installation::commitSlot()
{
    markStep("details");
    if (!writeSlotDetails(scratch, request.file) || !writeImageInfo(scratch, imageName(request.slot, request.name)))
        return "could not write Image.info";
    std::string head;
    if (readBootHead(head)) {
        menu.emplace(toolsDir(), head);
        headReady = menu->stageHead();  // unchecked here: publish reports the boot menu
    }
    // Barrier 1: tree, names and head durable before the slot's rename; else a cut may leave half a slot installed.
    markStep("barrier 1");
    if (!syncFileSystem(mpoint))
        return copyFailed;
    markStep("unmount end");
    if (const char* failure = unmountEnded())
        return failure;
    // The last instant to stop: from the rename on, the slot is installed.
    if (cancelled())
        return cancelledText;
    markStep("rename");
    if (std::rename(scratch.c_str(), slotDir(request.slot).c_str()) != 0)
        return copyFailed;
    return nullptr;
}

// Steps 2 to 4 of the switch, the slot in place. False when the boot menu
// could not be written; the slot stays installed then.
bool Installation::publish(const CheckedImage& image)
{
    markStep("menu");
    BootMenu target;
    bool staged = headReady && menu->withdraw() && composeBootMenu(target) && menu->stage(target.script, target.config);
    // Barrier 2: slot, head and the pair's contents on the disk first; else a cut may name a slot not there.
    // Where it fails the slot is there all the same: barrier 3 then puts it on the disk before the script.
    markStep("barrier 2");
    if (!syncFileSystem(imagesDir()))
        unsynced = "could not sync image directory";
    // Kept while the slot may yet vanish. Unchecked: the image is installed,
    // and a file that comes back after a power cut is only offered again.
    markStep("removal");
    if (removesFile() && !unsynced && image.stillAt(request.file))
        unlinkWithChecksumFiles(request.file);
    else if (backup && request.backupKept)
        request.backupKept();
    markStep("configuration");
    if (!staged || !menu->placeConfig())
        return false;
    // Barrier 3: the configuration on the disk before the script; else a cut may pair them wrong.
    markStep("barrier 3");
    if (!syncFileSystem(mpoint) || !menu->placeScript())
        return false;
    if (!unsynced)
        writeExpectedAction();
    // Barrier 4: the script, the image file's removal (with its checksum files) and the log's line on the
    // disk before success; else a cut undoes them.
    markStep("barrier 4");
    if (!syncFileSystem(mpoint))
        return false;
    menu->dropOldLayout();
    return true;
}

Outcome Installation::finish(const char* failure, const CheckedImage& image)
{
    unmountEnded();  // unchecked here: commitSlot judged it; the run's loop devices go only after it
    if (cutMade)
        unlink(cutFile.c_str());  // unchecked: the next installation removes it too
    if (failure) {
        menu.reset();  // its scratch file goes
        removeTree(scratch);  // unchecked: the next installation removes it too
        return Outcome::failed(failure);
    }
    bool menuWritten = publish(image);
    if (unsynced)
        return Outcome::failed(unsynced);
    if (!menuWritten)
        return bootMenuFailure();
    return Outcome::done(installedText);
}
