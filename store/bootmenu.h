#pragma once
#include <string>

#include "host/estring.h"

// The boot side reads tools/menu and tools/lcdmenu.conf, two plain files,
// as a pair: entry N of the menu starts the slot that item N names. Each
// file is replaced on its own (scratch file beside it, fsync, rename, fsync
// of tools/), so the order of the replacements decides what a power cut
// can leave; store/bootmenu.cpp gives it.

// Makes the directory TOOLS hold SCRIPT as tools/menu (mode 755) and CONFIG
// as tools/lcdmenu.conf (mode 644), durably, through states that each pair
// a whole script with a whole configuration that goes with it: HEAD (the
// script without start lines) stands in for the script while both change.
// A file that already holds its bytes and mode is left as it is, but a
// stopped run's scratch file beside it goes and TOOLS is still made durable:
// that run may have renamed the file there unsynced. Once both are in place,
// what an earlier version's link layout left in TOOLS goes. On failure the
// files not yet replaced stay, no scratch file stays, and the result is
// false.
bool replaceBootMenu(const eString& tools, const std::string& head, const std::string& script,
    const std::string& config);

// Makes tools/menu in TOOLS hold HEAD alone, durably, unless it does: a
// script that starts no slot goes with any configuration.
bool withdrawStartLines(const eString& tools, const std::string& head);
