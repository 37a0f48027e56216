#pragma once
#include "host/estring.h"

// NR is a slot number as the dialogs keep it, decimal text ("3").

// The name an image gets: TYPED, or "Image-NR" when nothing was typed.
eString imageName(const eString& nr, const eString& typed);

// Replaces slot NR's Image.info by the one line "name=NAME". False when the
// file did not open for writing (nothing is written then) or the write failed.
bool writeImageInfo(const eString& nr, const eString& name);
