#pragma once
#include <optional>

#include "store/outcome.h"

// Refusals of a store that an action cannot change as it should, found
// before the action writes anything.

// "image store is read-only" when the store's top directory, image/ or
// tools/ is on a read-only file system or cannot be written. One that is
// missing is no refusal: the action makes it, or reports what it meets.
std::optional<Outcome> refuseReadOnlyStore();

// "no boot tools in MPOINT/tools" when tools/menu.org or tools/go is no
// file: a slot installed there could not be started, and a disk that is
// not mounted leaves an empty directory there.
std::optional<Outcome> refuseWithoutBootTools();

// "no image store at MPOINT" when it holds neither tools/ nor image/: a
// wrong directory, or a disk that is not mounted.
std::optional<Outcome> refuseNoImageStore();
