#include "pchost/paint/terminaldraw.h"

#include <algorithm>
#include <string>

#include "pchost/paint/legend.h"
#include "pchost/paint/textgrid.h"

#include <curses.h>

namespace pchost {

namespace {

const int neededRows = gridRows + 1;  // and the key legend

void drawTooSmall()
{
    std::string text = "terminal too small: need " + std::to_string(gridColumns) + "x" +
        std::to_string(neededRows) + ", have " + std::to_string(COLS) + "x" + std::to_string(LINES);
    mvaddstr(0, 0, text.c_str());
    addstr("\nenlarge it to go on, or press Ctrl-C to quit");
}

attr_t attributesOf(CellStyle style)
{
    switch (style) {
    case CellStyle::Focus: return A_REVERSE;
    case CellStyle::Current:
    case CellStyle::Title: return A_BOLD;
    case CellStyle::Field: return A_UNDERLINE;
    case CellStyle::Plain: break;
    }
    return A_NORMAL;
}

void drawScreen()
{
    int top = (LINES - neededRows) / 2;
    int left = (COLS - gridColumns) / 2;
    TextGrid grid = paintText(buildScene());
    for (int row = 0; row < gridRows; ++row) {
        for (int column = 0; column < gridColumns; ++column) {
            chtype c = static_cast<unsigned char>(grid.lines[row][column]);
            mvaddch(top + row, left + column, c | attributesOf(grid.styles[row][column]));
        }
    }
    std::string legend = keyLegend();
    int legendLeft = left + std::max(0, (gridColumns - static_cast<int>(legend.size())) / 2);
    mvaddnstr(LINES - 1, legendLeft, legend.c_str(), gridColumns);
}

} // namespace

bool terminalTooSmall()
{
    return COLS < gridColumns || LINES < neededRows;
}

void drawTerminal()
{
    erase();
    if (terminalTooSmall())
        drawTooSmall();
    else
        drawScreen();
}

} // namespace pchost
