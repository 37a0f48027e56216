#pragma once
#include "host/estring.h"
#include "install/copyprogress.h"

// Where the squashfs part of a two-part image begins: block 2304 of 512 bytes.
constexpr int squashfsOffset = 1179648;

// Whether the image mounted on /tmp/image is only the cramfs head of a
// two-part image: it has no top-level entry bin.
bool isCramfsHead();

// With the cramfs head of the two-part image FILE (in the store) mounted on
// /tmp/image: unmounts the head and mounts the squashfs part behind it there,
// straight from the image file. Where mount cannot take an offset, the part
// is cut out into the store's squashfs.img, telling PROGRESS how far the cut
// has come, and that is mounted instead. CUT is set once the image counts
// as two-part: from then on the caller removes squashfs.img at the end
// (removeCut), and the image file after a success. Returns the message of
// the failed step, or null.
const char* mountSquashfsPart(const eString& file, bool& cut, const ProgressShown& progress);

// Removes the squashfs part that an installation cut out into the store.
// There is usually none; a failure is not reported.
void removeCut();
