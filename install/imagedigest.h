#pragma once
#include <optional>
#include <vector>

#include "host/estring.h"
#include "install/checksumfile.h"
#include "install/copyprogress.h"
#include "store/outcome.h"

// The digests of KINDS, lower-case hex in that order, of the whole regular
// file PATH, read once; PROGRESS is told how far the reading has come
// ("checking image 37 % (0:02 left)") at its start and about twice a
// second. Empty when the file cannot be read to its end.
std::optional<std::vector<eString>> digestsOf(const eString& path, const std::vector<DigestKind>& kinds,
    const ProgressShown& progress);

// With checksum files beside the image file FILE in the store
// (expectedDigests): refuses with "checksum file unreadable" when one gives
// no digest, else reads CONTENT (FILE's path, or the checked image's) once
// and refuses with "image file is damaged" when a digest differs or it
// cannot be read. Empty, without reading it, when there is none.
std::optional<Outcome> refuseDamaged(const eString& file, const eString& content, const ProgressShown& progress);
