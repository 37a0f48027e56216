#pragma once

// Rebuilds the boot menu from the slots as they are now: tools/menu becomes
// tools/menu.org plus one start line per installed slot (mode 755), and
// tools/lcdmenu.conf lists the installed slots' names and the colour.
// Reports nothing; a missing or read-only tools/ leaves the files as they are.
void nameedit();
