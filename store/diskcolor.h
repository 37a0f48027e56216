#pragma once

// The boot menu's colour when two front ends share a store: each keeps the
// colour it read at its start, and the other may set another meanwhile.
// The later choice wins: a regeneration takes the disk's colour when it
// differs from what this process last read or wrote there, and keeps its
// own otherwise (a choice whose boot menu could not be written, say).

// Takes the global color as the one on the disk now (read or written).
void rememberDiskColor();

// Sets the global color to tools/lcdmenu.conf's menu_color when another
// front end has changed it since rememberDiskColor.
void followDiskColor();
