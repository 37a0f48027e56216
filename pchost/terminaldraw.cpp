#include "pchost/terminaldraw.h"

#include <algorithm>
#include <string>

#include "pchost/session.h"
#include "pchost/terminalkeys.h"

#include <curses.h>

namespace pchost {

namespace {

const int screenColumns = 90;
const int screenRows = 36;
const int neededRows = screenRows + 1;  // and the key legend

void drawTooSmall()
{
    std::string text = "terminal too small: need " + std::to_string(screenColumns) + "x" +
        std::to_string(neededRows) + ", have " + std::to_string(COLS) + "x" + std::to_string(LINES);
    mvaddstr(0, 0, text.c_str());
    addstr("\nenlarge it to go on, or press Ctrl-C to quit");
}

// The screen text marks the focused widget with '>' and a list's selected
// entry with '*' in the widget's first column; the mark and its text stand
// out until a gap of two blanks or a frame.
bool startsMark(const std::string& line, size_t at)
{
    bool mark = line[at] == '>' || line[at] == '*';
    return mark && (at == 0 || line[at - 1] == ' ' || line[at - 1] == '|');
}

bool endsMark(const std::string& line, size_t at)
{
    char c = line[at];
    bool gap = c == ' ' && (at + 1 == line.size() || line[at + 1] == ' ');
    return gap || c == '|' || c == '+';
}

void drawLine(int row, int column, const std::string& line)
{
    attr_t attributes = A_NORMAL;
    for (size_t i = 0; i < line.size(); ++i) {
        if (startsMark(line, i))
            attributes = line[i] == '>' ? A_REVERSE : A_BOLD;
        else if (endsMark(line, i))
            attributes = A_NORMAL;
        unsigned char c = line[i];
        chtype shown = c >= ' ' && c < 127 ? c : '?';
        mvaddch(row, column + static_cast<int>(i), shown | attributes);
    }
}

void drawScreen()
{
    int top = (LINES - neededRows) / 2;
    int left = (COLS - screenColumns) / 2;
    std::string text = screenText();
    size_t start = 0;
    for (int row = 0; row < screenRows && start < text.size(); ++row) {
        size_t end = std::min(text.find('\n', start), text.size());
        drawLine(top + row, left, text.substr(start, end - start));
        start = end + 1;
    }
    std::string legend = keyLegend(editingText());
    int legendLeft = left + std::max(0, (screenColumns - static_cast<int>(legend.size())) / 2);
    mvaddnstr(LINES - 1, legendLeft, legend.c_str(), screenColumns);
}

} // namespace

bool terminalTooSmall()
{
    return COLS < screenColumns || LINES < neededRows;
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
