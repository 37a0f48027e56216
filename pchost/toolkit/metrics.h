#pragma once
#include <string>

// Pixel measures of the screen and of text in the skin's font size, for
// what the host lays out itself: list rows and message boxes. Every painter
// fits its text into them, the 8 x 16 cells of the text screen included.
namespace pchost {

const int screenWidth = 720;
const int screenHeight = 576;
// The text screen's cell: no measure may fall below it.
const int cellWidth = 8;
const int cellHeight = 16;

// The skin's "fontsize", 20 when it has none, as the plug-in reads it.
int fontSize();
// The pixel size text is painted in: DejaVu Sans is wider than the box's
// own font, and at 0.85 of the skin's size it fits the widths that the
// plug-in gives its widgets.
int textSize();
// The height of one line of text.
int lineHeight();
// The height of one list row.
int entryHeight();
// The width TEXT (one line) needs; errs on the wide side.
int textWidth(const std::string& text);

} // namespace pchost
