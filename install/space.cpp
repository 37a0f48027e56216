#include "install/space.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <utility>

#include "install/squashfs.h"
#include "install/staging.h"
#include "plugin/globals.h"

namespace fs = std::filesystem;

namespace {

// Link targets up to this length are kept in the inode itself (ext2 and
// its successors), longer ones take a block.
constexpr long long inodeLinkBytes = 60;

long long blocksFor(const struct stat& entry, long long block)
{
    if (S_ISDIR(entry.st_mode))
        return 1;
    if (S_ISLNK(entry.st_mode))
        return entry.st_size < inodeLinkBytes ? 0 : 1;
    if (!S_ISREG(entry.st_mode))
        return 0;
    return (entry.st_size + block - 1) / block;
}

long long storeBlockSize()
{
    struct statfs info;
    if (statfs(mpoint.c_str(), &info) != 0 || info.f_bsize <= 0)
        return 4096;  // the free space cannot be measured either, which refuses
    return info.f_bsize;
}

} // namespace

Outcome noSpace(long long kilobytes)
{
    eString message;
    return Outcome::refused(message.sprintf("no Space !!!\nMemory < %d kB\n",
        static_cast<int>(std::min<long long>(kilobytes, INT_MAX))));
}

long long treeKilobytes(const eString& dir, long long block)
{
    std::set<std::pair<dev_t, ino_t>> linked;
    long long blocks = 0;
    std::error_code error;
    struct stat entry;
    if (lstat(dir.c_str(), &entry) == 0)
        blocks += blocksFor(entry, block);
    for (fs::recursive_directory_iterator it(dir.c_str(), error), end; !error && it != end;
         it.increment(error)) {
        if (lstat(it->path().c_str(), &entry) != 0)
            continue;
        bool again = !S_ISDIR(entry.st_mode) && entry.st_nlink > 1 &&
            !linked.insert({entry.st_dev, entry.st_ino}).second;
        if (!again)
            blocks += blocksFor(entry, block);
    }
    return (blocks * block + 1023) / 1024;
}

std::optional<Outcome> refuseWhenFull(bool cut)
{
    long long needed = treeKilobytes("/tmp/image", storeBlockSize());
    if (needed <= freeKilobytes(mpoint))
        return std::nullopt;
    unmountImage();  // unchecked: the refusal is what to report
    if (cut)
        removeCut();
    return noSpace(needed);
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
