#include "install/space.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <utility>

#include "store/context.h"

namespace fs = std::filesystem;

namespace {

// Link targets up to this length are kept in the inode itself (ext2 and
// its successors), longer ones take a block.
constexpr long long inodeLinkBytes = 60;
// Data blocks an ext2 inode maps itself; further ones are mapped through
// blocks of pointers (ext4's extents take fewer).
constexpr long long directBlocks = 12;

// SUM + MORE blocks, held below what would overflow once made kB: an image
// may claim any size for a file.
long long addBlocks(long long sum, long long more, long long block)
{
    long long most = (LLONG_MAX - 1023) / block;
    return more > most - sum ? most : sum + more;
}

// The copy writes a file's whole size: the box's busybox cp writes the
// holes of a sparse file out. Counted in 512-byte sectors, so that no size
// can overflow.
long long fileBlocks(const struct stat& entry, long long block)
{
    long long sectors = entry.st_size / 512 + (entry.st_size % 512 != 0);
    long long bytes = std::min(sectors, LLONG_MAX / 512) * 512;
    long long data = bytes / block + (bytes % block != 0), pointers = block / 4;
    long long mapped = std::max(0LL, data - directBlocks);
    return data + (mapped + pointers - 1) / pointers + (mapped + pointers * pointers - 1) / (pointers * pointers);
}

// A directory's entries take 8 bytes and their name, in steps of 4. One
// that outgrows its block is indexed (ext3, ext4, and ext2 where the ext4
// driver mounts it): its leaves, which keep 12 bytes for a checksum, split
// in halves by the names' hashes as it grows, which leaves them holding 68 %
// of the entries that fit or more (about ln 2 on average), and the index
// takes a block for every BLOCK / 8 leaves.
long long directoryBlocks(long long entries, long long bytes, long long block)
{
    if (bytes <= block)
        return 1;
    long long fit = std::max(1LL, (block - 12) * entries / bytes), filled = fit * 68;
    long long leaves = (entries * 100 + filled - 1) / filled;
    return leaves + leaves / (block / 8) + 1;
}

class TreeMeasure {
public:
    explicit TreeMeasure(long long block)
        : block(block)
    {
    }
    void add(const fs::path& path, bool top);
    TreeNeeds total() const;

private:
    struct Listing {
        long long entries = 2, bytes = 24;  // "." and ".."
    };
    long long block, blocks = 0, inodes = 0;
    std::set<std::pair<dev_t, ino_t>> linked;
    std::map<std::string, Listing> listings;  // by directory
};

void TreeMeasure::add(const fs::path& path, bool top)
{
    struct stat entry;
    if (lstat(path.c_str(), &entry) != 0)
        return;
    if (!top) {
        Listing& parent = listings[path.parent_path().string()];
        parent.entries += 1;
        parent.bytes += (8 + path.filename().string().size() + 3) / 4 * 4;
    }
    // A file linked more than once takes its blocks and inode once.
    if (!S_ISDIR(entry.st_mode) && entry.st_nlink > 1 && !linked.insert({entry.st_dev, entry.st_ino}).second)
        return;
    ++inodes;
    if (S_ISDIR(entry.st_mode))
        listings[path.string()];
    else if (S_ISLNK(entry.st_mode))
        blocks = addBlocks(blocks, entry.st_size < inodeLinkBytes ? 0 : 1, block);
    else if (S_ISREG(entry.st_mode))
        blocks = addBlocks(blocks, fileBlocks(entry, block), block);
}

TreeNeeds TreeMeasure::total() const
{
    long long all = blocks;
    for (const auto& [path, listing] : listings)
        all = addBlocks(all, directoryBlocks(listing.entries, listing.bytes, block), block);
    return {(all * block + 1023) / 1024, inodes};
}

} // namespace

Outcome noSpace(long long kilobytes, long long files, unsigned long long freeFiles)
{
    eString message = "no Space !!!\n", filesLine;
    int shown = static_cast<int>(std::min<long long>(kilobytes, INT_MAX));
    if (kilobytes > 0)
        message.sprintf("no Space !!!\nMemory < %d kB\n", shown);
    if (files > 0)
        message += filesLine.sprintf("Files < %lld (%llu free)\n", files, freeFiles);
    Outcome refused = Outcome::refused(message);
    refused.detail.sprintf("%lld kB free in %s", freeKilobytes(mpoint), mpoint.c_str());
    return refused;
}

TreeNeeds treeNeeds(const eString& dir, long long block)
{
    TreeMeasure measure(block);
    measure.add(dir.c_str(), true);
    std::error_code error;
    for (fs::recursive_directory_iterator it(dir.c_str(), error), end; !error && it != end;
         it.increment(error))
        measure.add(it->path(), false);
    return measure.total();
}

std::optional<Outcome> refuseWhenFull(MountedTree& tree)
{
    struct statfs store;
    bool measured = statfs(mpoint.c_str(), &store) == 0 && store.f_bsize > 0;
    tree.block = measured ? store.f_bsize : 4096;
    tree.needs = treeNeeds("/tmp/image", tree.block);
    // A file system that counts no inodes has no limit on them; one that
    // cannot be measured has no room for certain.
    unsigned long long freeFiles = measured ? store.f_ffree : 0;
    bool filesShort =
        measured && store.f_files != 0 && static_cast<unsigned long long>(tree.needs.inodes) > freeFiles;
    bool blocksShort = !measured || tree.needs.kilobytes > freeKilobytes(mpoint);
    if (!filesShort && !blocksShort)
        return std::nullopt;
    return noSpace(blocksShort ? tree.needs.kilobytes : 0, filesShort ? tree.needs.inodes : 0, freeFiles);
}

long long blocksToKilobytes(unsigned long long blocks, unsigned long long blockSize)
{
    // Split so that no product can pass 64 bits before the division.
    unsigned long long kilobytes = (blocks / 1024) * blockSize + (blocks % 1024) * blockSize / 1024;
    return kilobytes > LLONG_MAX ? LLONG_MAX : static_cast<long long>(kilobytes);
}

long long freeKilobytes(const eString& path)
{
    return measuredFreeKilobytes(path).value_or(0);
}

std::optional<long long> measuredFreeKilobytes(const eString& path)
{
    struct statfs info;
    if (statfs(path.c_str(), &info) != 0)
        return std::nullopt;
    return blocksToKilobytes(info.f_bavail, info.f_bsize);
}
