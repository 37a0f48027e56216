#pragma once
#include "host/estring.h"
#include "store/slots.h"

// The work of the installed-images overview, without a window.

// The size column's text from the first line of the du output in DU_FILE:
// the size field (the text before the separator that precedes the first "/")
// plus " kB"; the whole line plus " kB" when it has no "/" after its first
// character; "? kB" when the file holds no line; empty when it is no plain
// file or does not open.
eString sizeText(const char* duFile);

// Measures slot SLOT with the store's tools/du into a /tmp/du.temp made
// afresh and returns its size text; empty when that file cannot be made.
eString measureSlot(int slot);

// The name column's text for SLOT in STATE: the image's name, "corrupted"
// or "----------".
eString statusText(int slot, SlotState state);
