#pragma once
#include <optional>

#include "host/estring.h"
#include "store/outcome.h"

// What another front end may have changed since a dialog or a command chose
// them, asked again under the store's lock.

// "slot NR is not free" when anything stands at image/NR: a slot installed
// meanwhile, a leftover, or a file or pipe where the slot's directory goes.
std::optional<Outcome> refuseSlotTaken(const eString& nr);

// "no image file FILE" when nothing stands at FILE in the store any more
// (installed as a two-part image by another front end, say).
std::optional<Outcome> refuseImageGone(const eString& file);
