#include "install/procedure.h"
#include "store/actionlog.h"
#include "store/slotmenu.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "install/adapt.h"
#include "install/checkedimage.h"
#include "install/imagecheck.h"
#include "install/imagedigest.h"
#include "install/installation.h"
#include "install/loopdevices.h"
#include "install/slotpath.h"
#include "install/space.h"
#include "install/squashfs.h"
#include "install/staging.h"
#include "install/stillthere.h"
#include "store/context.h"
#include "store/defaultslot.h"
#include "store/diskcolor.h"
#include "store/durable.h"
#include "store/lock.h"
#include "store/shell.h"
#include "store/slots.h"
#include "store/steptrace.h"

Installation::Installation(const InstallRequest& request)
    : request(request)
    , scratchEntry(scratchName(request.slot))
    , cutFile(cutPath(request.slot))
{
    scratch.sprintf("%s/image/%s", mpoint.c_str(), scratchEntry.c_str());
}

Outcome Installation::run()
{
    if (request.started)
        request.started(request.file);
    markStep("checks");
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
    LoopRelease loops(image.path());  // for the offset mount of its part too; goes after every unmount
    markStep("head");
    if (!runMount(formatLine("mount -t cramfs %s /tmp/image -o loop", image.path())))
        return Outcome::failed("could not mount cramfs");
    // A cramfs without bin is only the head of a two-part image; the root
    // tree is the squashfs behind it.
    if (isCramfsHead()) {
        if (!partBehind)
            return refuseHeadAlone();
        twoPart = true;
        backup = isBackupHead();
        std::optional<Outcome> stopped = mountSquashfsPart(image.path(), cutFile, cutMade, loops, request.progress);
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
        markStep("measure");
        if (std::optional<Outcome> full = refuseWhenFull(tree))
            return withdraw(*full);
        if (request.checkOnly)
            return withdraw(Outcome::done("the checks passed"));
        failure = copyIntoScratch();
        image.unlinkNow();
    }
    markStep("adapt");
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
    markStep("copy");
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
    // The tree is unmounted while the slot is made startable and its copy
    // made durable, another file system's work: unmountEnded judges it
    // before the slot's rename, so a tree that stays mounted still fails
    // the installation.
    markStep("unmount");
    startUnmount(unmounting);
    tell("");
    return nullptr;
}

// The failure of the copied tree's unmount, waited for; null when it went
// or was never started.
const char* Installation::unmountEnded()
{
    if (unmounting && unmounting->end() != CommandEnd::Succeeded)
        return "could not unmount squashfs";
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

bool Installation::removesFile() const
{
    if (backup)
        return false;
    return request.fileAfter == ImageFileAfter::Goes || (request.fileAfter == ImageFileAfter::TwoPartGoes && twoPart);
}

namespace {

// How long a command that outlived its host may take to end.
constexpr int copyEndMs = 3000;

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

namespace {

// A cancel by Ctrl-C stops the running command too, which then fails:
// until the slot is in place, the cancel is the cause, in the log too.
Outcome causeOf(const Outcome& outcome, const InstallRequest& request)
{
    if (outcome.kind == Outcome::Failed && request.cancelled && request.cancelled() &&
        probeSlot(atoi(request.slot.c_str())) != SlotState::Installed)
        return Outcome::failed(cancelledText);
    return outcome;
}

} // namespace

Outcome installImage(const InstallRequest& request)
{
    // Stopped midway, the run would leave its mount and scratch copy behind.
    HeldInterrupts held;
    markStep("lock");
    StoreLock lock(mpoint, storeWaitMs, request.checkOnly ? "verify" : "install");
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
    followDiskColor();
    if (!request.checkOnly)
        forgetStaleDefault();  // or the slot installed now would start by default
    // The dialog or command chose them before the lock: another front end
    // may have taken the slot or installed the file since.
    std::optional<Outcome> refused = refuseSlotTaken(request.slot);
    refused = refused ? refused : refuseImageGone(request.file);
    refused = refused ? refused : refuseLargeBootHead();
    // The log names the file, which the slot's name may not.
    const eString named = " (" + request.file + ")";
    std::optional<ExpectedAction> expected;
    if (!request.checkOnly)
        expected.emplace("install", request.slot, installedText + named);
    Outcome outcome = refused ? *refused : causeOf(Installation(request).run(), request);
    markStep("log");
    if (!request.checkOnly) {
        Outcome logged = outcome;
        logged.message += named;
        logAction("install", request.slot, logged);
    }
    markStep("end");
    return outcome;
}
