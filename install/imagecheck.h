#pragma once
#include <optional>

#include "host/estring.h"
#include "store/outcome.h"

// The refusal of what cannot be installed, found before anything is mounted:
// a store that cannot be written ("image store is read-only"); an image file
// FILE of the store that is no regular file or has no cramfs at its start
// ("not an image file"); one whose cramfs, or squashfs part at byte 1179648,
// reaches past its end ("image file is incomplete"). Reads only a few kB of
// the file, and no FIFO or device at all. Empty when the installation may go
// on; PART_BEHIND then tells whether a squashfs part lies behind a cramfs
// small enough to be the head of a two-part image.
std::optional<Outcome> refuseBeforeMounting(const eString& file, bool& partBehind);

// With the cramfs head of a two-part image mounted on /tmp/image and no
// squashfs part behind it: unmounts the head and refuses the image as
// incomplete, or fails with "could not unmount cramfs".
Outcome refuseHeadAlone();
