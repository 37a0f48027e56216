#pragma once

// Drawing the stand-in host's screen (90 x 36 cells) into the curses
// terminal, centred, with a key legend on the terminal's bottom line.
namespace pchost {

// True when the terminal has fewer than 90 columns or 37 lines.
bool terminalTooSmall();

// Draws the screen as it is now into curses' buffer, or, in a terminal too
// small for it, a message saying so. The caller refreshes.
void drawTerminal();

} // namespace pchost
