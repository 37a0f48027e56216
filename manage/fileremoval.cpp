#include "manage/fileremoval.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#include "install/imagefiles.h"
#include "store/actionlog.h"
#include "store/context.h"
#include "store/durable.h"
#include "store/lock.h"
#include "store/storecheck.h"

namespace {

eString joined(const std::vector<eString>& names)
{
    eString text;
    for (const eString& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

Outcome unlinkFile(const StoreFile& file)
{
    bool gone = unlinkWithChecksumFiles(file.name);
    eString error = std::strerror(errno);
    // Barrier: the removal on the disk before it is reported; else a power
    // cut may bring back a file the user was told is gone.
    bool synced = syncDirectory(mpoint);
    if (!gone)
        return Outcome::failed("could not remove " + file.name + ": " + error);
    if (!synced)
        return Outcome::failed("could not sync the store's directory");
    if (file.checksum)
        return Outcome::done("removed checksum file " + file.name);
    return Outcome::done("removed image file " + file.name + (file.sums.empty() ? "" : " with " + joined(file.sums)));
}

} // namespace

std::optional<StoreFile> storeFile(const eString& name)
{
    struct stat st;
    if (name.find('/') != std::string::npos || name.find("..") != std::string::npos ||
        name.find(".img") == std::string::npos || lstat((mpoint + "/" + name).c_str(), &st) != 0 ||
        !S_ISREG(st.st_mode))
        return std::nullopt;
    StoreFile file;
    file.name = name;
    file.checksum = !isImageFileName(name);
    file.bytes = st.st_size;
    file.device = st.st_dev;
    file.inode = st.st_ino;
    if (!file.checksum)
        file.sums = checksumFilesBeside(name);
    return file;
}

Outcome notRemovable(const eString& name)
{
    return Outcome::refused("no image file or checksum file of the store: " + name);
}

Outcome removeStoreFile(const eString& name, const std::optional<StoreFile>& expected)
{
    StoreLock lock(mpoint, storeWaitMs, "remove");
    if (lock.busy())
        return storeBusy();
    if (std::optional<Outcome> readOnly = refuseReadOnlyStore())
        return *readOnly;
    std::optional<StoreFile> file = storeFile(name);
    if (!file)
        return notRemovable(name);
    if (expected && (file->device != expected->device || file->inode != expected->inode))
        return Outcome::refused(name + " changed, not removed");
    Outcome outcome = unlinkFile(*file);
    logAction("remove", "", outcome);
    return outcome;
}
