#pragma once
#include "host/estring.h"

// What every procedure works on, set by the front end before the first
// one runs: the plug-in from /tmp/org and tools/lcdmenu.conf, nimbrel from
// --store or /tmp/org.

// Mount point of the image store, without trailing slash. Every path of
// the store is built from it.
extern eString mpoint;
// Boot-menu colour code, written to tools/lcdmenu.conf as menu_color.
extern eString color;
