#pragma once

// The boot menu's colour when two front ends share a store: each read it
// at its start, and the other may have chosen another since. Every action
// takes the disk's colour under the store's lock before it chooses its
// own, so the later choice wins wherever it was made.

// Sets the global color to tools/lcdmenu.conf's menu_color; keeps it when
// the file has none or cannot be read.
void followDiskColor();
