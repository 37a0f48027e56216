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

// Removes the Image.info.new that stopped renames left in the slots.
void clearStaleNames();

// Fills MENU from the slots as they are now and the colour, as nameedit
// writes it; slot CHANGED, unless it is free, is named NAME, or left out
// when NAME is empty. False when tools/menu.org is there but cannot be read
// whole.
bool composeBootMenu(BootMenu& menu, int changed = -1, const eString& name = eString());

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

// The refusal of an action while tools/menu.org is over bootHeadLimit: no
// boot menu could be written after it.
std::optional<Outcome> refuseLargeBootHead();
