#pragma once
#include <optional>

#include "host/estring.h"
#include "store/outcome.h"

// The refusal of what cannot be installed, found before anything is mounted:
// a store without its boot tools (refuseWithoutBootTools) or that cannot be
// written (refuseReadOnlyStore); an image file FILE of the store that is no
// regular file or has no cramfs at its start ("not an image file"); one that
// ends before the size its cramfs gives, or whose squashfs part at byte
// 1179648, with the squashfs magic, reaches past its end ("image file is
// incomplete"). Any other bytes there are left to the squashfs mount. Reads
// only a few kB of the file, and no FIFO or device at all. Empty when the
// installation may go on; PART_BEHIND then tells whether the file goes on
// past byte 1179648, where the part of a two-part image lies.
std::optional<Outcome> refuseBeforeMounting(const eString& file, bool& partBehind);

// refuseBeforeMounting in its two halves: the store's refusals, and the
// image file's, here of the file at PATH.
std::optional<Outcome> refuseStore();
std::optional<Outcome> refuseImage(const eString& path, bool& partBehind);

// Where the squashfs part of a two-part image begins: block 2304 of 512 bytes.
constexpr int squashfsOffset = 1179648;

// The most a cut of the squashfs part takes from byte 1179648 on when
// the part has no squashfs superblock that tells its size.
constexpr long long squashfsCutLimit = 51200000;

// The bytes a cut of the squashfs part of the image file at PATH takes: to
// the file's end, and no more than its part's superblock says it uses
// (padded to 4 kB as mksquashfs pads it) or, without one, than
// squashfsCutLimit. Bytes there that are no squashfs are for its mount to
// judge, without filling the disk first.
long long squashfsCutBytes(const eString& path);

enum class ImageKind { SinglePart, TwoPart, Unknown };

// What those checks tell of image file FILE of the store without mounting
// it: its kind and their fault, null when they find none. Two-part is a
// cramfs small enough to be a head with a squashfs superblock at byte
// 1179648; single-part a cramfs with nothing behind it, or too large to be
// a head (a head alone looks so too); unknown without a cramfs, or with
// other bytes behind a head, which only the mount can judge.
struct ImageCheck {
    ImageKind kind;
    const char* fault;
};
ImageCheck inspectImage(const eString& file);

// With a cramfs head (no bin) mounted on /tmp/image and the file ending at
// or before byte 1179648, where its part would begin: unmounts the head and
// refuses the image as incomplete, or fails with "could not unmount cramfs".
Outcome refuseHeadAlone();
