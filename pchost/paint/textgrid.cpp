#include "pchost/paint/textgrid.h"

#include <algorithm>

namespace pchost {

namespace {

// Cells, edges included.
struct Area {
    int left, top, right, bottom;

    Area intersect(const Area& other) const
    {
        return {std::max(left, other.left), std::max(top, other.top),
            std::min(right, other.right), std::min(bottom, other.bottom)};
    }
};

const Area wholeGrid{0, 0, gridColumns - 1, gridRows - 1};

Area cellsOf(const Rect& rect)
{
    int top = rect.y / cellHeight;
    return {rect.x / cellWidth, top, (rect.x + rect.w - 1) / cellWidth,
        std::max(top, (rect.y + rect.h - 1) / cellHeight)};
}

class Painter {
public:
    Painter()
    {
        grid.lines.assign(gridRows, std::string(gridColumns, ' '));
        grid.styles.assign(gridRows, std::vector<CellStyle>(gridColumns, CellStyle::Plain));
    }

    TextGrid grid;

    void item(const Item& item)
    {
        switch (item.part) {
        case Part::Window: window(item); break;
        case Part::List: rowsAt = {cellsOf(item.rect), cellsOf(item.clip).intersect(interior)};
            break;
        case Part::Popup: popup(item); break;
        case Part::Row: row(item); break;
        default: widget(item); break;
        }
    }

private:
    Area interior = wholeGrid;  // of the window being painted
    struct {
        Area at;    // the first row's place
        Area clip;
    } rowsAt{wholeGrid, wholeGrid};

    void put(int column, int row, const std::string& text, const Area& clip,
        CellStyle style = CellStyle::Plain)
    {
        Area inside = clip.intersect(wholeGrid);
        if (row < inside.top || row > inside.bottom)
            return;
        for (size_t i = 0; i < text.size(); ++i) {
            int x = column + static_cast<int>(i);
            if (x < inside.left || x > inside.right)
                continue;
            unsigned char c = text[i];
            grid.lines[row][x] = c >= ' ' && c < 127 ? c : '?';
            grid.styles[row][x] = style;
        }
    }

    // A frame around AREA with TITLE in its top edge, blank inside.
    void box(const Area& area, const std::string& title)
    {
        int width = area.right - area.left + 1;
        if (width < 2 || area.bottom <= area.top)
            return;
        std::string edge = "+" + std::string(width - 2, '-') + "+";
        put(area.left, area.top, edge, area);
        for (int row = area.top + 1; row < area.bottom; ++row)
            put(area.left, row, "|" + std::string(width - 2, ' ') + "|", area);
        put(area.left, area.bottom, edge, area);
        if (!title.empty())
            put(area.left + 2, area.top, " " + title + " ",
                {area.left, area.top, area.right - 1, area.top}, CellStyle::Title);
    }

    void window(const Item& item)
    {
        Area area = cellsOf(item.rect);
        interior = wholeGrid;
        if (item.inner == item.rect)
            return;
        box(area, item.text);
        interior = {area.left + 1, area.top + 1, area.right - 1, area.bottom - 1};
    }

    void popup(const Item& item)
    {
        Area area = cellsOf(item.rect);
        area.bottom = area.top + item.index + 1;
        box(area, "");
        Area inside{area.left + 1, area.top + 1, area.right - 1, area.bottom - 1};
        rowsAt = {inside, inside};
    }

    void row(const Item& item)
    {
        char mark = !item.current ? ' ' : item.focused ? '>' : '*';
        CellStyle style = !item.current ? CellStyle::Plain
            : item.focused              ? CellStyle::Focus
                                        : CellStyle::Current;
        std::string text = item.text;
        if (item.align == Align::Centre) {
            int room = rowsAt.at.right - rowsAt.at.left - static_cast<int>(text.size());
            text.insert(0, std::max(0, room / 2), ' ');
        }
        put(rowsAt.at.left, rowsAt.at.top + item.index, mark + text, rowsAt.clip, style);
    }

    // An input field fills its width between brackets.
    static std::string fieldText(const Item& item, const Area& area)
    {
        std::string inside = item.text + (item.editing ? "_" : "");
        int width = area.right - area.left - 2;  // the mark and the brackets
        inside.resize(std::max(static_cast<int>(inside.size()), width), ' ');
        return "[" + inside + "]";
    }

    void widget(const Item& item)
    {
        Area area = cellsOf(item.rect);
        Area clip = area.intersect(cellsOf(item.clip)).intersect(interior);
        std::string text = item.text;
        if (item.part == Part::Field)
            text = fieldText(item, area);
        else if (item.part == Part::Checkbox)
            text = (item.checked ? "[x] " : "[ ] ") + text;
        if (!item.key.empty())
            text = "(" + item.key + ") " + text;
        CellStyle style = item.focused ? CellStyle::Focus : CellStyle::Plain;
        size_t start = 0;
        for (int row = area.top; row <= area.bottom && start <= text.size(); ++row) {
            size_t end = std::min(text.find('\n', start), text.size());
            char mark = row != area.top ? ' ' : item.focused ? '>' : ' ';
            put(area.left, row, mark + text.substr(start, end - start), clip, style);
            start = end + 1;
        }
        if (item.part == Part::Field && !item.focused)
            put(area.left + 2, area.top, text.substr(1, text.size() - 2), clip, CellStyle::Field);
    }
};

} // namespace

std::string TextGrid::text() const
{
    std::string all;
    for (const std::string& line : lines)
        all += line + "\n";
    return all;
}

TextGrid paintText(const Scene& scene)
{
    Painter painter;
    for (const Item& item : scene)
        painter.item(item);
    return painter.grid;
}

} // namespace pchost
