#include "host/emessagebox.h"

#include <algorithm>

#include "host/elabel.h"

namespace {

const int cellWidth = 8;
const int cellHeight = 16;
const int screenWidth = 720;
const int screenHeight = 576;

// Columns and rows the text needs.
eSize textCells(const eString& text)
{
    int columns = 0;
    int rows = 1;
    int current = 0;
    for (char c : text) {
        if (c == '\n') {
            ++rows;
            current = 0;
        } else {
            columns = std::max(columns, ++current);
        }
    }
    return eSize(columns, rows);
}

} // namespace

// The text takes the top rows and the OK button the last, one blank row
// between; every widget keeps its first column for the focus mark.
eMessageBox::eMessageBox(eString message, eString caption, int flags, int defaultButton,
    int timeout)
    : eWindow(0)
    , message(message)
    , flags(flags)
    , defaultButton(defaultButton)
    , timeout(timeout)
{
    setText(caption);
    eSize cells = textCells(message);
    int columns = std::max({cells.w + 2, static_cast<int>(caption.size()) + 4, 8});
    eSize client(columns * cellWidth, (cells.h + 2) * cellHeight);
    cresize(client);
    eSize whole = getSize();
    move(ePoint((screenWidth - whole.w) / 2 / cellWidth * cellWidth,
        (screenHeight - whole.h) / 2 / cellHeight * cellHeight));

    auto* label = new eLabel(this);
    label->setText(message);
    label->resize(eSize(client.w, cells.h * cellHeight));
    auto* ok = new eButton(this);
    ok->setText("OK");
    ok->move(ePoint((columns - 3) / 2 * cellWidth, (cells.h + 1) * cellHeight));
    ok->resize(eSize(3 * cellWidth, cellHeight));
    ok->selected.connect([this] { close(0); });
}

eMessageBox::~eMessageBox() = default;

const eString& eMessageBox::getMessage() const
{
    return message;
}
