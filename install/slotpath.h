#pragma once
#include "host/estring.h"

// Whether a link in the last component of a path is followed or left as it
// is (to be removed, renamed or replaced).
enum class LastLink { Keep, Follow };

// Where PATH (relative, such as "etc/init.d/rcS") lies inside the slot
// directory SLOT as the image sees it once booted with SLOT as its root:
// absolute link targets start again at SLOT and ".." stops there, so the
// result never leaves SLOT. Missing components are kept as they are named.
// Empty when the links loop.
eString pathInSlot(const eString& slot, const eString& path, LastLink last);

// True when PATH is a directory, or a plain file; a link to one counts.
bool isDirectory(const eString& path);
bool isRegularFile(const eString& path);
// True when anything at all stands at PATH, a dangling link included.
bool entryExists(const eString& path);
