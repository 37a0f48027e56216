#include "install/imagecheck.h"

#include <algorithm>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "install/staging.h"
#include "store/context.h"
#include "store/descriptor.h"
#include "store/storecheck.h"

namespace {

constexpr std::uint32_t cramfsMagic = 0x28cd3d45;
constexpr std::uint32_t squashfsMagic = 0x73717368;
// Enough for the superblocks: a cramfs's, also where a boot block of 512
// bytes pushes it, and a squashfs's of any version.
constexpr int headBytes = 4096;

const char notAnImage[] = "not an image file";
const char incomplete[] = "image file is incomplete";

// A file's first bytes, and those of its squashfs part, as far as they go.
struct Heads {
    unsigned char start[headBytes] = {};
    unsigned char part[headBytes] = {};
    long long size = 0;
};

std::uint64_t number(const unsigned char* at, int bytes, bool bigEndian)
{
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= static_cast<std::uint64_t>(at[i]) << 8 * (bigEndian ? bytes - 1 - i : i);
    return value;
}

// Whether AT holds MAGIC, and in which byte order: a box of either kind
// makes images in its own.
bool magicAt(const unsigned char* at, std::uint32_t magic, bool& bigEndian)
{
    bigEndian = number(at, 4, true) == magic;
    return bigEndian || number(at, 4, false) == magic;
}

// The size its superblock gives a cramfs at the start; empty without one.
std::optional<std::uint64_t> cramfsSize(const Heads& heads)
{
    bool big;
    for (int at : {0, 512}) {
        if (heads.size >= at + 8 && magicAt(heads.start + at, cramfsMagic, big))
            return number(heads.start + at + 4, 4, big);
    }
    return std::nullopt;
}

// The bytes a squashfs superblock says it uses, by its version's layout;
// empty for a version not known here, which its mount judges.
std::optional<std::uint64_t> squashfsBytes(const unsigned char* block, bool big)
{
    switch (number(block + 28, 2, big)) {
    case 1:
    case 2:
        return number(block + 8, 4, big);
    case 3:
        return number(block + 63, 8, big);
    case 4:
        return number(block + 40, 8, big);
    default:
        return std::nullopt;
    }
}

// Reads the heads of FILE, never from a FIFO or a device: false for those.
bool readHeads(const eString& path, Heads& heads)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    Descriptor file(closeOnExec(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)));
    if (!file || fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    heads.size = st.st_size;
    return pread(file.get(), heads.start, headBytes, 0) >= 0 &&
        pread(file.get(), heads.part, headBytes, squashfsOffset) >= 0;
}

// A squashfs superblock's bytes, of every version.
constexpr int squashfsSuperblock = 96;

const char* imageFault(const eString& path, bool& partBehind)
{
    Heads heads;
    if (!readHeads(path, heads))
        return notAnImage;
    std::optional<std::uint64_t> cramfs = cramfsSize(heads);
    if (!cramfs)
        return notAnImage;
    if (*cramfs > static_cast<std::uint64_t>(heads.size))
        return incomplete;
    partBehind = heads.size > squashfsOffset;
    // Behind a cramfs small enough to be a head, a squashfs superblock says
    // where its part ends. Other bytes there (another kind of squashfs, the
    // rest of a large cramfs, damage) are for the mount to judge.
    bool big;
    if (!partBehind || *cramfs > squashfsOffset || !magicAt(heads.part, squashfsMagic, big))
        return nullptr;
    long long partBytes = heads.size - squashfsOffset;
    if (partBytes < squashfsSuperblock)
        return incomplete;
    std::optional<std::uint64_t> used = squashfsBytes(heads.part, big);
    return used && *used > static_cast<std::uint64_t>(partBytes) ? incomplete : nullptr;
}

} // namespace

ImageCheck inspectImage(const eString& file)
{
    eString path = mpoint + "/" + file;
    bool partBehind = false;
    ImageCheck check{ImageKind::Unknown, imageFault(path, partBehind)};
    Heads heads;
    std::optional<std::uint64_t> cramfs;
    if (!readHeads(path, heads) || !(cramfs = cramfsSize(heads)))
        return check;
    bool big;
    if (heads.size <= squashfsOffset || *cramfs > squashfsOffset)
        check.kind = ImageKind::SinglePart;
    else if (heads.size >= squashfsOffset + 4 && magicAt(heads.part, squashfsMagic, big))
        check.kind = ImageKind::TwoPart;
    return check;
}

std::optional<Outcome> refuseStore()
{
    if (std::optional<Outcome> refused = refuseWithoutBootTools())
        return refused;
    return refuseReadOnlyStore();
}

std::optional<Outcome> refuseImage(const eString& path, bool& partBehind)
{
    partBehind = false;
    if (const char* fault = imageFault(path, partBehind))
        return Outcome::refused(fault);
    return std::nullopt;
}

std::optional<Outcome> refuseBeforeMounting(const eString& file, bool& partBehind)
{
    if (std::optional<Outcome> refused = refuseStore())
        return refused;
    return refuseImage(mpoint + "/" + file, partBehind);
}

long long squashfsCutBytes(const eString& path)
{
    Heads heads;
    long long behind = 0;
    if (readHeads(path, heads))
        behind = std::max(heads.size - squashfsOffset, 0LL);
    bool big;
    std::optional<std::uint64_t> used;
    if (behind >= squashfsSuperblock && magicAt(heads.part, squashfsMagic, big))
        used = squashfsBytes(heads.part, big);
    if (!used)
        return std::min(behind, squashfsCutLimit);
    // A loop device ends at its last whole block: mksquashfs pads its
    // output to 4 kB for that, and so does the cut.
    constexpr std::uint64_t padding = 4096;
    std::uint64_t padded = (*used + padding - 1) / padding * padding;
    return static_cast<long long>(std::min<std::uint64_t>(behind, padded));
}

Outcome refuseHeadAlone()
{
    if (!unmountImage())
        return Outcome::failed("could not unmount cramfs");
    return Outcome::refused(incomplete);
}
