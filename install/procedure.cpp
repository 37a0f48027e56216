#include "install/procedure.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

#include "install/adapt.h"
#include "install/checkedimage.h"
#include "install/imagecheck.h"
#include "install/imagedigest.h"
#include "install/slotpath.h"
#include "install/space.h"
#include "install/squashfs.h"
#include "install/staging.h"
#include "install/stillthere.h"
#include "store/bootmenu.h"
#include "store/context.h"
#include "store/durable.h"
#include "store/imagename.h"
#include "store/lock.h"
#include "store/nameedit.h"
#include "store/shell.h"
#include "store/slotdetails.h"
#include "store/slots.h"

namespace {

// How long a command that outlived its host may take to end.
constexpr int copyEndMs = 3000;

// The copy's failure, also for every later step that finds the copy unusable.
const char copyFailed[] = "could not copy squashfs";
const char cancelledText[] = "installation cancelled";

// One run of the installation. The tree is copied and made startable in a
// scratch directory beside the slots, which no slot scan looks at, and
// becomes the slot with one rename once all of it is on the disk. Each
// stage returns the message of the step that failed, or null to go on.
class Installation {
public:
    explicit Installation(const InstallRequest& request);
    Outcome run();

private:
    const char* copyIntoScratch();
    const char* adaptScratch();
    const char* commitSlot();
    bool publish(const CheckedImage& image);
    std::optional<Outcome> refuseChecked(const CheckedImage& image, bool& partBehind);
    Outcome finish(const char* failure, const CheckedImage& image);
    Outcome withdraw(const Outcome& refusal);
    void tell(const char* progress) const;
    bool cancelled() const;

    const InstallRequest& request;
    eString scratchEntry;  // its name under image/
    eString scratch;
    eString cutFile;
    bool twoPart = false;
    bool cutMade = false;
    MountedTree tree;
    std::optional<MenuSwitch> menu;  // once the boot menu's head could be read
    bool headReady = false;  // tools/menu holds its head, or it waits beside
    const char* unsynced = nullptr;  // set when the slot's rename may not be on the disk
};

Installation::Installation(const InstallRequest& request)
    : request(request)
    , scratchEntry(scratchName(request.slot))
    , cutFile(cutPath(request.slot))
{
    scratch.sprintf("%s/image/%s", mpoint.c_str(), scratchEntry.c_str());
}

Outcome Installation::run()
{
    // The trace line that marks a start; an errno left by an earlier call
    // would read as a fault of this file.
    errno = 0;
    if (request.trace)
        std::perror(request.file.c_str());
    if (std::optional<Outcome> refused = refuseStore())
        return *refused;
    if (!mountPointReady())
        return Outcome::failed("could not mount cramfs");
    removeLeftovers();  // a leftover scratch directory that stays fails the copy
    // From here on only the file checked here is read.
    CheckedImage image(request.file, request.slot);
    bool partBehind = false;
    if (std::optional<Outcome> refused = refuseChecked(image, partBehind))
        return *refused;
    if (cancelled())
        return Outcome::failed(cancelledText);
    if (!runMount(formatLine("mount -t cramfs %s /tmp/image -o loop", image.path())))
        return Outcome::failed("could not mount cramfs");
    // A cramfs without bin is only the head of a two-part image; the root
    // tree is the squashfs behind it.
    if (isCramfsHead()) {
        if (!partBehind)
            return refuseHeadAlone();
        twoPart = true;
        std::optional<Outcome> stopped = mountSquashfsPart(image.path(), cutFile, cutMade, request.progress);
        tell("");  // the cut's last share says nothing of the steps after it
        if (stopped)
            return withdraw(*stopped);
    }
    const char* failure = nullptr;
    if (cancelled()) {
        unmountImage();  // unchecked: the next installation unmounts a leftover
        failure = cancelledText;
    }
    if (!failure) {
        if (std::optional<Outcome> full = refuseWhenFull(tree))
            return withdraw(*full);
        if (request.checkOnly)
            return withdraw(Outcome::done("the checks passed"));
        failure = copyIntoScratch();
        image.unlinkNow();
    }
    if (!failure)
        failure = cancelled() ? cancelledText : adaptScratch();
    if (!failure)
        failure = commitSlot();
    return finish(failure, image);
}

// The image file's refusals, read from IMAGE; one that is no regular file
// or cannot be linked is judged by its name.
std::optional<Outcome> Installation::refuseChecked(const CheckedImage& image, bool& partBehind)
{
    if (!image.linked()) {
        std::optional<Outcome> refused = refuseImage(mpoint + "/" + request.file, partBehind);
        return refused ? refused : Outcome::failed("could not mount cramfs");
    }
    if (std::optional<Outcome> refused = refuseImage(image.path(), partBehind))
        return refused;
    std::optional<Outcome> damaged = refuseDamaged(request.file, image.path(), request.progress);
    if (!damaged)
        tell("");  // the check's share says nothing of the steps after it
    return damaged;
}

const char* Installation::copyIntoScratch()
{
    makeDirectory(imagesDir(), 0755);  // unchecked: a failure shows in the copy
    // Into a leftover, cp would copy the tree one level down. -p: without
    // it GNU cp drops set-user-ID and set-group-ID bits (busybox's keeps
    // them), and an image's su would stop working.
    if (entryExists(scratch) ||
        !runPolled(formatLine("cp -Rdp /tmp/image %s/image/%s", mpoint, scratchEntry),
            copyTick(scratch, tree, request.progress), [this] { return cancelled(); })) {
        unmountImage();  // unchecked: the copy's failure is the one to report
        return copyFailed;
    }
    tell("100 %");
    if (!unmountImage())
        return "could not unmount squashfs";
    tell("");
    return nullptr;
}

const char* Installation::adaptScratch()
{
    // Anything but a root tree (another run's mount swapped in under the
    // copy, say) is no image to install.
    if (!entryExists(scratch + "/bin"))
        return copyFailed;
    return makeStartable(scratch, request.copySettings);
}

// The slot's part of the boot menu's switch (store/bootmenu.h), steps 1
// and 2: the tree, its details and Image.info (replacing any the image
// carried) and the script's head written, all of it durable, then the
// scratch directory renamed to the slot: an installed slot is always
// complete. The rest of the switch is publish's.
const char* Installation::commitSlot()
{
    if (!writeSlotDetails(scratch, request.file) || !writeImageInfo(scratch, imageName(request.slot, request.name)))
        return "could not write Image.info";
    std::string head;
    if (readBootHead(head)) {
        menu.emplace(toolsDir(), head);
        headReady = menu->stageHead();  // unchecked here: publish reports the boot menu
    }
    // Barrier 1: tree, names and head durable before the slot's rename; else a cut may leave half a slot installed.
    if (!syncFileSystem(mpoint))
        return copyFailed;
    // The last instant to stop: from the rename on, the slot is installed.
    if (cancelled())
        return cancelledText;
    if (std::rename(scratch.c_str(), slotDir(request.slot).c_str()) != 0)
        return copyFailed;
    return nullptr;
}

// Steps 2 to 4 of the switch, the slot in place. False when the boot menu
// could not be written; the slot stays installed then.
bool Installation::publish(const CheckedImage& image)
{
    BootMenu target;
    bool staged = headReady && menu->withdraw() && composeBootMenu(target) && menu->stage(target.script, target.config);
    // Barrier 2: slot, head and the pair's contents on the disk first; else a cut may name a slot not there.
    // Where it fails the slot is there all the same: barrier 3 then puts it on the disk before the script.
    if (!syncFileSystem(imagesDir()))
        unsynced = "could not sync image directory";
    // Kept while the slot may yet vanish. Unchecked: the image is installed,
    // and a file that comes back after a power cut is only offered again.
    if (twoPart && !unsynced && image.stillAt(request.file))
        unlink((mpoint + "/" + request.file).c_str());
    if (!staged || !menu->placeConfig())
        return false;
    // Barrier 3: the configuration on the disk before the script; else a cut may pair them wrong.
    if (!syncFileSystem(mpoint) || !menu->placeScript())
        return false;
    // Barrier 4: the script and the image file's removal on the disk before success; else a cut undoes them.
    if (!syncFileSystem(mpoint))
        return false;
    menu->dropOldLayout();
    return true;
}

Outcome Installation::finish(const char* failure, const CheckedImage& image)
{
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
    return Outcome::done("Image is installed");
}

// A refusal once the tree is mounted: the store holds nothing of this run
// but the cut, which goes with the mount.
Outcome Installation::withdraw(const Outcome& refusal)
{
    unmountImage();  // unchecked: the refusal is what to report
    if (cutMade)
        unlink(cutFile.c_str());  // unchecked: the next installation removes it too
    return refusal;
}

void Installation::tell(const char* progress) const
{
    if (request.progress)
        request.progress(progress);
}

bool Installation::cancelled() const
{
    return request.cancelled && request.cancelled();
}

// Whether PATH is /tmp itself, under any name: its lock is then the
// store's, which this run already holds.
bool isTmp(const eString& path)
{
    struct stat dir, tmp;
    return stat(path.c_str(), &dir) == 0 && stat("/tmp", &tmp) == 0 && dir.st_dev == tmp.st_dev &&
        dir.st_ino == tmp.st_ino;
}

} // namespace

std::optional<Outcome> refusal(const InstallRequest& request)
{
    if (request.noliste == 0 && request.noiort == 0 && request.freemem >= request.minfree)
        return std::nullopt;
    if (request.freemem < request.minfree)
        return noSpace(request.minfree);
    return Outcome::refused("no Image or no Directory selected");
}

Outcome installImage(const InstallRequest& request)
{
    // Stopped midway, the run would leave its mount and scratch copy behind.
    HeldInterrupts held;
    StoreLock lock(mpoint, storeWaitMs);
    if (lock.busy())
        return storeBusy();
    // /tmp/image serves every store: an installation into another store
    // would find its mount there and unmount it under the running copy.
    // Its commands hold the lock too: a copy that a killed host left, which
    // ends a moment later, is waited for, never unmounted under.
    bool tmpStore = isTmp(mpoint);
    StoreLock mountLock("/tmp", tmpStore ? 0 : copyEndMs);
    if (!tmpStore && mountLock.busy())
        return Outcome::refused("another installation is running");
    SharedWithCommands kept(tmpStore ? lock.descriptor() : mountLock.descriptor());
    // The dialog or command chose them before the lock: another front end
    // may have taken the slot or installed the file since.
    if (std::optional<Outcome> taken = refuseSlotTaken(request.slot))
        return *taken;
    if (std::optional<Outcome> gone = refuseImageGone(request.file))
        return *gone;
    return Installation(request).run();
}
