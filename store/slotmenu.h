#pragma once
#include <optional>
#include <string>

#include "host/estring.h"
#include "store/outcome.h"

// The boot menu that the slots call for: HEAD is tools/menu.org, SCRIPT
// tools/menu and CONFIG tools/lcdmenu.conf.
struct BootMenu {
    std::string head, script;
    eString config;
};

// The largest head taken: the head goes into every writing of the script,
// twice through the switch, and a head of megabytes would make each action
// take seconds. A real one is a few hundred bytes.
constexpr size_t bootHeadLimit = 64 * 1024;

// Reads tools/menu.org, the script's head, into HEAD (empty when it is not
// there); FOUND, when given, tells whether it was. False when it is there
// but cannot be read whole (a pipe there, say, which is never waited for),
// or is larger than bootHeadLimit.
bool readBootHead(std::string& head, bool* found = nullptr);

// The store's tools/ directory.
eString toolsDir();

// Fills MENU from the slots as they are now and the colour, as nameedit
// writes it; slot CHANGED, unless it is free, is named NAME, or left out
// when NAME is empty. False when tools/menu.org is there but cannot be read
// whole.
bool composeBootMenu(BootMenu& menu, int changed = -1, const eString& name = eString());

// The refusal of an action while tools/menu.org is over bootHeadLimit: no
// boot menu could be written after it.
std::optional<Outcome> refuseLargeBootHead();
