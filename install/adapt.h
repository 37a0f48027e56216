#pragma once
#include "host/estring.h"

// Makes the root tree copied into slot directory SLOT start from there:
// - the image's var_init becomes its var, without var_init/tmp/init (an
//   image without a var_init keeps its own var);
// - SLOT/go is replaced with a copy of the store's tools/go;
// - etc/init.d/rcS is kept as rcS_org and written anew with its jffs2 mount
//   commands turned into comments, mode 755 (an image without a plain file
//   there has nothing to patch);
// - when WITH_SETTINGS, the running system's settings are copied whole
//   beside the image's own, then put in their place (without any there, no
//   settings directory or an empty one, the image keeps its own).
// Every path is taken as the booted image sees it (pathInSlot), so a link
// in the image never leads a change out of the slot. Returns the message of
// the step that failed, or null.
// Whether the running system has settings that "cp DIR/*" would copy.
bool haveSettings();

const char* makeStartable(const eString& slot, bool withSettings);
