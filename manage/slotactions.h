#pragma once
#include <cstdint>
#include <optional>

#include "host/estring.h"
#include "store/outcome.h"

// The actions of the rename, erase and colour windows as every front end
// runs them: under the store's lock (storeBusy() while another action holds
// it), refused on a store that cannot be written, and ended with the boot
// menu rebuilt; a success that the boot menu cannot show is reported as
// bootMenuFailure() instead.

// Renames slot NR (decimal text) to TYPED, "Image-NR" when empty.
Outcome renameSlot(const eString& nr, const eString& typed);

// One installation in a slot: its directory and name, as a question about
// it showed them. A slot emptied and installed again, or renamed, is
// another.
struct SlotIdentity {
    unsigned long long device = 0, inode = 0;
    eString name;
    bool operator==(const SlotIdentity& other) const;
};

// What stands in slot SLOT now; empty for a free slot.
std::optional<SlotIdentity> identifySlot(int slot);

// Erases slot NR with everything in it; with EXPECTED, only while the slot
// still holds that installation (else "slot NR changed, not erased").
Outcome eraseSlot(const eString& nr, const std::optional<SlotIdentity>& expected = std::nullopt);

// Takes colour KEY (firstColorKey .. lastColorKey; any other keeps the
// colour, and logs only a failure) and rebuilds the boot menu. Empty on
// success: the colour window shows nothing then.
std::optional<Outcome> applyColor(intptr_t key);

// Makes installed slot SLOT the boot menu's default entry, or the firmware
// in flash when empty (store/defaultslot.h).
Outcome chooseDefault(std::optional<int> slot);

// Rebuilds the boot menu from the slots, as every action does at its end.
Outcome rewriteBootMenu();
