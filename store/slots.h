#pragma once
#include "host/estring.h"

// The image store's slots image/0 .. image/9 under the mount point.
constexpr int slotCount = 10;

enum class SlotState { Free, Installed, Corrupted };

// The directory of the slots, "MPOINT/image".
eString imagesDir();
// The slot directory, "MPOINT/image/N/" (with its trailing slash).
eString slotDirPath(int slot);
// Slot NR's directory "MPOINT/image/NR", NR as the dialogs keep it ("3").
eString slotDir(const eString& nr);
// SLOT as the dialogs keep it: "3".
eString slotText(int slot);
// The slot's name file, "MPOINT/image/N/Image.info".
eString slotInfoPath(int slot);

// Free when the slot directory does not open, installed when its
// Image.info also is a regular file that opens for reading (isReadableFile),
// corrupted otherwise.
SlotState probeSlot(int slot);

// The name recorded in an installed slot's Image.info (empty without one,
// or when it is no regular file).
eString slotName(int slot);
