#pragma once
#include "host/estring.h"

// The scratch tree a backup packs: hard links to a slot's files in
// directories of its own. A slot may hold links out of it anywhere (images
// carry absolute ones), so the tree is changed only through descriptors of
// its own directories, opened without following a link: nothing outside
// it, in the slot or elsewhere, is ever renamed or removed.

// The first mount point inside slot SLOT's directory (or that directory
// itself), as the mount table names it; empty when there is none. Hard
// links cannot reach across it.
eString mountPointInSlot(int slot);

// Makes ROOT a tree of hard links to slot SLOT's entries (links as links):
// the slot's data is not copied, and not changed when ROOT is.
bool linkSlotTree(int slot, const eString& root);

// Turns the slot's tree ROOT back into its image's, in the reverse order
// of the installation: rcS_org becomes rcS again in etc/init.d as the
// booted image finds it (while var still stands where var_init stood),
// then var becomes var_init again, unless the slot holds a var_init (the
// installation moved none then); go and the slot's files of ours go.
// False when ROOT is no directory of its own.
bool undoInstallation(const eString& root);
