#pragma once
#include <string>

#include "host/estring.h"

// The boot side reads tools/menu and tools/lcdmenu.conf as one pair. Both
// are links through tools/bootmenu into a generation directory
// (tools/bootmenu.1 or tools/bootmenu.2), so one rename of tools/bootmenu
// swaps the whole pair: at no instant does a script from one run stand
// beside a configuration from another.

// Writes SCRIPT (mode 755) and CONFIG (mode 644) as the new pair of the
// directory TOOLS, durably, and switches tools/bootmenu to it; the old
// generation goes. A store whose pair is still two plain files is first
// turned into links to a copy of that pair, which the boot side cannot tell
// apart. On failure the old pair stays, no scratch file of the new one
// stays, and the result is false.
bool replaceBootMenu(const eString& tools, const std::string& script, const std::string& config);
