#pragma once
#include <optional>

#include "host/estring.h"
#include "install/copyprogress.h"
#include "store/outcome.h"

class LoopRelease;

// Whether the image mounted on /tmp/image is only the cramfs head of a
// two-part image: it has no top-level entry bin.
bool isCramfsHead();

// Whether that head is a backup's that nimbrel backup wrote: its only
// entry a file README reading "backup of NAME\n". Such an image file is
// the user's only copy of the slot, never removed by its installation.
bool isBackupHead();

// With the cramfs head of the two-part image at IMAGE (the checked image)
// mounted on /tmp/image: unmounts the head and mounts the squashfs part
// behind it there, straight from the image file. Where mount cannot take an
// offset, the part is cut out into CUT_FILE, made afresh (never over a file
// there, nor through a link), telling PROGRESS how far the cut has come,
// and that is mounted instead; the cut takes squashfsCutBytes, refused with
// noSpace before anything is written when the store has less room. CUT_MADE
// is set once this run has made it, and the caller then removes it at the
// end; LOOPS notes it before its mount. Returns the refusal or the failure
// of the step that ended it, empty once the part is mounted.
std::optional<Outcome> mountSquashfsPart(const eString& image, const eString& cutFile, bool& cutMade,
    LoopRelease& loops, const ProgressShown& progress);
