#include "install/procedure.h"

#include <climits>
#include <cstdio>
#include <sys/statfs.h>

#include "install/adapt.h"
#include "install/slotpath.h"
#include "install/space.h"
#include "install/squashfs.h"
#include "plugin/globals.h"
#include "store/imagename.h"
#include "store/nameedit.h"
#include "store/shell.h"

namespace {

// One run of the installation. Each stage returns the message of the step
// that failed, or null to go on.
class Installation {
public:
    explicit Installation(const InstallRequest& request);
    Outcome run();

private:
    const char* swapToSquashfs();
    const char* copyIntoSlot();
    const char* adaptSlot();
    Outcome finish(const char* failure);

    const InstallRequest& request;
    eString slotDir;
    bool cut = false;
};

Installation::Installation(const InstallRequest& request)
    : request(request)
{
    slotDir.sprintf("%s/image/%s", mpoint.c_str(), request.slot.c_str());
}

Outcome Installation::run()
{
    std::perror(request.file.c_str());  // the trace line that marks a start
    runCommand("mkdir /tmp/image");  // fails harmlessly when it is there from before
    if (!runFormatted("mount -t cramfs %s/%s /tmp/image -o loop", mpoint, request.file))
        return Outcome::failed("could not mount cramfs");
    const char* failure = nullptr;
    bool twoPart = isCramfsHead();
    if (twoPart)
        failure = swapToSquashfs();
    if (!failure)
        if (std::optional<Outcome> full = refuseWhenFull(cut))
            return *full;
    if (!failure)
        failure = copyIntoSlot();
    if (!failure)
        failure = adaptSlot();
    return finish(failure);
}

// A cramfs without bin is only the head of a two-part image; the root tree
// is the squashfs behind it.
const char* Installation::swapToSquashfs()
{
    return mountSquashfsPart(request.file, cut);
}

const char* Installation::copyIntoSlot()
{
    if (!isDirectory(mpoint + "/image"))
        runFormatted("mkdir %s/image", mpoint);  // a failure shows in the copy
    if (!runFormatted("cp -Rd /tmp/image %s/image/%s", mpoint, request.slot)) {
        runCommand("umount /tmp/image");  // the copy's failure is the one to report
        return "could not copy squashfs";
    }
    if (!runCommand("umount /tmp/image"))
        return "could not unmount squashfs";
    return nullptr;
}

const char* Installation::adaptSlot()
{
    moveVarInit(slotDir);
    // Without go the slot cannot start, so it must not become an installed slot.
    if (!copyGo(slotDir))
        return "could not copy go";
    if (!writeImageInfo(request.slot, imageName(request.slot, request.name)))
        return "could not write Image.info";
    patchStartScript(slotDir);
    if (request.copySettings)
        copySettings(slotDir);
    return nullptr;
}

Outcome Installation::finish(const char* failure)
{
    // Unchecked: there is no squashfs.img after a single-part image, and a
    // leftover one goes too, unless it is the single-part image just installed.
    if (cut || (!failure && request.file != "squashfs.img"))
        removeCut();
    if (failure)
        return Outcome::failed(failure);
    if (cut)
        runFormatted("rm %s/%s", mpoint, request.file);  // unchecked: the image is installed anyway
    nameedit();
    return Outcome::done("Image is installed");
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
    return Installation(request).run();
}

long long blocksToKilobytes(unsigned long long blocks, unsigned long long blockSize)
{
    // Split so that no product can pass 64 bits before the division.
    unsigned long long kilobytes = (blocks / 1024) * blockSize + (blocks % 1024) * blockSize / 1024;
    return kilobytes > LLONG_MAX ? LLONG_MAX : static_cast<long long>(kilobytes);
}

long long freeKilobytes(const eString& path)
{
    struct statfs info;
    if (statfs(path.c_str(), &info) != 0)
        return 0;
    return blocksToKilobytes(info.f_bavail, info.f_bsize);
}
