#pragma once
#include "store/outcome.h"

// Rebuilds the boot menu from the slots as they are now: tools/menu becomes
// tools/menu.org plus one start line per installed slot (mode 755; a line
// end goes between when the head lacks its last one), and
// tools/lcdmenu.conf lists the installed slots' names and the colour. Without
// tools/menu.org the script is empty: start lines without their head could
// start nothing. At every instant, a power cut included, the script starts
// for each entry the slot the configuration names, or no slot at all
// (store/bootmenu.h); what a stopped run left unsynced (a slot, a name, a
// file of the pair) is made durable before the pair names it. On failure the
// result is false.
bool nameedit();

// What an action shows instead of its success when nameedit failed: the
// missing boot tools or the head over its bound as the detail.
Outcome bootMenuFailure();
