#pragma once
#include <optional>

// The slot the boot menu starts by default. default_entry in
// tools/lcdmenu.conf is an entry number, and entries move as slots come and
// go, so the slot itself is remembered, in tools/default.slot ("N\n"), and
// every composition of the boot menu turns it into the entry that starts it
// now (0, the firmware in flash, when none does). Without the file the
// menu is as it always was: default_entry=0.

// The remembered slot; empty without one, or when the file is not ours.
std::optional<int> defaultSlot();

// Remembers SLOT, durably, or forgets the choice (empty). False when the
// file could not be replaced or removed; the old choice stands then.
bool rememberDefaultSlot(std::optional<int> slot);

// Forgets the choice when it is SLOT, which is going; unsynced: the
// action's next barrier takes it to the disk, before the slot goes. False
// when the file names SLOT and stays.
bool forgetDefaultSlot(int slot);

// Forgets a choice of a slot that is not installed, which an earlier
// version or an older store may have left, and removes the scratch file of
// a choice that was stopped; unsynced, unchecked, as above.
void forgetStaleDefault();
