#pragma once
#include <vector>

#include "host/estring.h"
#include "store/outcome.h"

// The work of the rename and erase dialog, without a window. NR is a slot
// number as decimal text, the key of the chosen list entry. Each action
// rebuilds the boot menu as it goes (store/slotswitch.h); after a failure
// its caller rebuilds it again.

// Their successes' texts.
inline constexpr char renamedText[] = "Rename Image complete";
inline constexpr char erasedText[] = "Erase Image complete";

// One entry of the dialog's list: the slot and the text shown for it.
struct SlotEntry {
    int slot;
    eString text;
};

// The slots the dialog offers, in slot order: every installed slot with its
// name and, when WITH_CORRUPTED, every corrupted slot as "Directory N".
std::vector<SlotEntry> listSlots(bool withCorrupted);

// Rewrites NR's Image.info with TYPED, or with "Image-NR" when TYPED is
// empty, while the boot menu stands at its head; when that cannot be
// written, the name stays.
Outcome renameImage(const eString& nr, const eString& typed);

// Removes NR's whole slot directory, after taking it out of the installed
// state and out of the boot menu; a link there is removed, never followed.
// While the boot menu cannot be cut to its head, the slot stays as it is,
// installed and startable: refuseReadOnlyStore()'s refusal where the store
// cannot be written, bootMenuFailure() otherwise.
Outcome eraseImage(const eString& nr);
