#pragma once
#include "host/estring.h"

// Replaces SLOT_DIR/Image.info with the single line "name=NAME". Whatever
// stood there before (a file, a link, a directory) is removed first, never
// written through. False when the file could not be written completely; no
// partial file is left then, so the slot does not pass as installed.
bool writeImageInfo(const eString& slotDir, const eString& name);
