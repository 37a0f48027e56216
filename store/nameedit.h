#pragma once
#include <string>

#include "host/estring.h"
#include "store/outcome.h"

// The boot menu that the slots call for: HEAD is tools/menu.org, SCRIPT
// tools/menu and CONFIG tools/lcdmenu.conf.
struct BootMenu {
    std::string head, script;
    eString config;
};

// Fills MENU from the slots as they are now and the colour, as nameedit
// writes it; false when tools/menu.org is there but cannot be read whole.
bool composeBootMenu(BootMenu& menu);

// Rebuilds the boot menu from the slots as they are now: tools/menu becomes
// tools/menu.org plus one start line per installed slot (mode 755; a line
// end goes between when the head lacks its last one), and
// tools/lcdmenu.conf lists the installed slots' names and the colour. Without
// tools/menu.org the script is empty: start lines without their head could
// start nothing. At every instant, a power cut included, the script starts
// for each entry the slot the configuration names, or no slot at all
// (store/bootmenu.h); every slot directory there is, and image/, are synced
// before the pair is written. On failure the result is false.
bool nameedit();

// Cuts tools/menu to its head, durably, so that it starts no slot while a
// slot's name changes or goes; the next nameedit puts the start lines back.
bool withdrawBootMenu();

// What an action shows instead of its success when nameedit failed.
Outcome bootMenuFailure();
