#pragma once
#include "store/outcome.h"

// Rebuilds the boot menu from the slots as they are now: tools/menu becomes
// tools/menu.org plus one start line per installed slot (mode 755), and
// tools/lcdmenu.conf lists the installed slots' names and the colour. Without
// tools/menu.org the script is empty: start lines without their head could
// start nothing. The new pair replaces the old one in a single step, durably
// (store/bootmenu.h); on any failure the old pair stays and the result is
// false.
bool nameedit();

// What an action shows instead of its success when nameedit failed.
Outcome bootMenuFailure();
