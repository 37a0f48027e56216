#include <algorithm>
#include <vector>

#include "host/elabel.h"
#include "host/elistbox.h"
#include "pchost/session.h"
#include "pchost/widgethost.h"

// The screen as text: 720 x 576 pixels in cells of 8 x 16. Every widget
// keeps its first column for a mark: '>' on the focused widget (and on the
// current entry of a focused or open list), '*' on the current entry of a
// list without the focus.
namespace {

const int columns = 90;
const int rows = 36;
const int cellWidth = 8;
const int cellHeight = 16;

// Cells, edges included.
struct Area {
    int left, top, right, bottom;
};

Area intersect(const Area& a, const Area& b)
{
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
        std::min(a.bottom, b.bottom)};
}

const Area wholeScreen{0, 0, columns - 1, rows - 1};

// The cells a widget covers; an unsized widget reaches to the screen's edge.
Area cellsOf(const ePoint& at, const eSize& size)
{
    Area area{at.x / cellWidth, at.y / cellHeight, columns - 1, rows - 1};
    if (size.w > 0)
        area.right = (at.x + size.w - 1) / cellWidth;
    if (size.h > 0)
        area.bottom = std::max(area.top, (at.y + size.h - 1) / cellHeight);
    return area;
}

class Canvas {
public:
    Canvas() : lines(rows, std::string(columns, ' ')) {}

    void put(int column, int row, const std::string& text, const Area& clip)
    {
        Area inside = intersect(clip, wholeScreen);
        if (row < inside.top || row > inside.bottom)
            return;
        for (size_t i = 0; i < text.size(); ++i) {
            int x = column + static_cast<int>(i);
            if (x >= inside.left && x <= inside.right)
                lines[row][x] = text[i] == '\n' ? ' ' : text[i];
        }
    }

    // A frame around AREA with TITLE in its top edge, blank inside.
    void box(const Area& area, const std::string& title)
    {
        int width = area.right - area.left + 1;
        if (width < 2 || area.bottom <= area.top)
            return;
        std::string edge = "+" + std::string(width - 2, '-') + "+";
        std::string middle = "|" + std::string(width - 2, ' ') + "|";
        put(area.left, area.top, edge, area);
        for (int row = area.top + 1; row < area.bottom; ++row)
            put(area.left, row, middle, area);
        put(area.left, area.bottom, edge, area);
        if (!title.empty())
            put(area.left + 2, area.top, " " + title + " ", {area.left, area.top, area.right - 1, area.top});
    }

    std::string text() const
    {
        std::string all;
        for (const std::string& line : lines)
            all += line + "\n";
        return all;
    }

private:
    std::vector<std::string> lines;
};

// Draws one window's widgets; open combo lists are kept for last so that
// they lie over everything else of the window.
struct Painter {
    Canvas& canvas;
    eWidget* focus;
    std::vector<eComboBox*> openCombos;

    // TEXT one line per row from AREA's top, MARK in the first column.
    void lines(const Area& area, char mark, const std::string& text, const Area& clip)
    {
        Area inside = intersect(area, clip);
        size_t start = 0;
        for (int row = area.top; row <= area.bottom && start <= text.size(); ++row) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos)
                end = text.size();
            std::string line = text.substr(start, end - start);
            canvas.put(area.left, row, std::string(1, row == area.top ? mark : ' ') + line, inside);
            start = end + 1;
        }
    }

    // As many entries as the list's height holds, scrolled so that the
    // current one shows.
    void list(const eListBoxBase& list, const Area& area, bool active, const Area& clip)
    {
        const auto& entries = list.getEntries();
        int height = list.getItemHeight();
        int shown = list.getSize().h > 0 ? std::max(1, list.getSize().h / height)
                                         : static_cast<int>(entries.size());
        int current = list.getCurrentIndex();
        int top = std::max(0, current - shown + 1);
        ePoint at = eWidgetHost::screenPosition(&list);
        for (int i = top; i < static_cast<int>(entries.size()) && i < top + shown; ++i) {
            char mark = i != current ? ' ' : active ? '>' : '*';
            int row = (at.y + (i - top) * height) / cellHeight;
            canvas.put(area.left, row, mark + entries[i]->getText(), intersect(area, clip));
        }
    }

    // The open list of COMBO in a box just under its text.
    void popup(eComboBox& combo)
    {
        Area at = cellsOf(eWidgetHost::screenPosition(&combo), combo.getSize());
        const auto* list = combo.getListBox();
        int count = static_cast<int>(list->getEntries().size());
        int shown = std::min(count, combo.getOpenEntries());
        int current = list->getCurrentIndex();
        int top = std::max(0, current - shown + 1);
        Area frame{at.left, at.top + 1, at.right, at.top + shown + 2};
        canvas.box(frame, "");
        Area inside{frame.left + 1, frame.top + 1, frame.right - 1, frame.bottom - 1};
        for (int i = top; i < top + shown; ++i) {
            char mark = i == current ? '>' : ' ';
            canvas.put(inside.left, inside.top + i - top, mark + list->getEntries()[i]->getText(), inside);
        }
    }

    // What a widget other than a list shows as its text.
    std::string textOf(eWidget& widget)
    {
        if (auto* combo = dynamic_cast<eComboBox*>(&widget))
            return combo->getCurrent() ? combo->getCurrent()->getText() : eString();
        if (auto* field = dynamic_cast<eTextInputField*>(&widget))
            return field->getText() + (field->isEditing() ? "_" : "");
        if (auto* box = dynamic_cast<eCheckbox*>(&widget))
            return (box->isChecked() ? "[x] " : "[ ] ") + box->getText();
        if (auto* bar = dynamic_cast<eStatusBar*>(&widget))
            return bar->getShownText();
        auto* label = dynamic_cast<eLabel*>(&widget);
        if (label && !label->getShortcutPixmap().empty())
            return "(" + label->getShortcutPixmap() + ") " + label->getText();
        return widget.getText();
    }

    void widget(eWidget& widget, const Area& clip)
    {
        Area area = cellsOf(eWidgetHost::screenPosition(&widget), widget.getSize());
        auto* combo = dynamic_cast<eComboBox*>(&widget);
        if (combo && combo->isOpen())
            openCombos.push_back(combo);
        if (auto* list = dynamic_cast<eListBoxBase*>(&widget))
            this->list(*list, area, &widget == focus, clip);
        else
            lines(area, &widget == focus ? '>' : ' ', textOf(widget), clip);
        Area inner = cellsOf(eWidgetHost::screenClientPosition(&widget), widget.getClientSize());
        children(widget, intersect(inner, clip));
    }

    void children(eWidget& parent, const Area& clip)
    {
        for (eWidget* child : parent.getChildren()) {
            if (child->isVisible())
                widget(*child, clip);
        }
    }
};

void drawWindow(Canvas& canvas, eWidget& window)
{
    Area frame = cellsOf(window.getPosition(), window.getSize());
    Area client = frame;
    if (eWidgetHost::hasFrame(&window)) {
        canvas.box(frame, window.getText());
        client = {frame.left + 1, frame.top + 1, frame.right - 1, frame.bottom - 1};
    }
    Painter painter{canvas, eWidgetHost::focused(&window), {}};
    painter.children(window, client);
    for (eComboBox* combo : painter.openCombos)
        painter.popup(*combo);
}

} // namespace

namespace pchost {

std::string screenText()
{
    Canvas canvas;
    for (eWidget* window : eWidgetHost::topLevels()) {
        if (window->isVisible())
            drawWindow(canvas, *window);
    }
    return canvas.text();
}

} // namespace pchost
