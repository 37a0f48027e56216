#pragma once
#include "host/estring.h"

// The changes that make a root tree copied into slot directory SLOT start
// from there. Every path is taken as the booted image sees it (pathInSlot),
// so a link in the image never leads a change out of the slot. Steps whose
// result the installation does not test report nothing.

// The image's var_init becomes its var, without var_init/tmp/init. An
// image without a var_init keeps its own var.
void moveVarInit(const eString& slot);

// Replaces SLOT/go with a copy of the store's tools/go.
bool copyGo(const eString& slot);

// Keeps etc/init.d/rcS as rcS_org and writes rcS anew with its jffs2 mount
// commands turned into comments, mode 755.
void patchStartScript(const eString& slot);

// Replaces the image's settings with those of the running system; without
// any there (no settings directory, or an empty one) they stay as they are.
void copySettings(const eString& slot);
