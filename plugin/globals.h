#pragma once
#include "host/estring.h"

// Mount point of the image store, without trailing slash; the first line of
// /tmp/org. Every path of the store is built from it.
extern eString mpoint;
// Boot-menu colour code, written to tools/lcdmenu.conf as menu_color.
extern eString color;
// The skin's font size; the dialogs size their rows from it.
extern int fd;
