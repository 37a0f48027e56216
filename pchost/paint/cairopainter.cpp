#include "pchost/paint/cairopainter.h"

#include <algorithm>
#include <cstdlib>

#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include "pchost/paint/cairodraw.h"

namespace pchost {

namespace {

const unsigned windowFill = 0x22304d;
const unsigned titleFill = 0x35518a;
const unsigned lineColour = 0x7f9ad0;
const unsigned darkText = 0x101010;
const unsigned controlFill = 0x3a4866;
const unsigned focusFill = 0xf0a020;
const unsigned fieldFill = 0xf4f4f4;
const unsigned listFill = 0x1b2740;
const unsigned currentFill = 0x4a5a80;
const unsigned statusFill = 0x162036;
const unsigned statusText = 0xc8d0e0;
const int padding = 6;

Rect shrunk(const Rect& area, int by)
{
    return {area.x + by, area.y + by, area.w - 2 * by, area.h - 2 * by};
}

unsigned keyColour(const std::string& key)
{
    if (key == "red")
        return 0xd03030;
    if (key == "yellow")
        return 0xd0b020;
    if (key == "blue")
        return 0x3060d0;
    return 0x30a040;
}

// The key's round symbol at AREA's left; the room it takes off AREA.
Rect keySymbol(cairo_t* cr, const std::string& key, const Rect& area)
{
    if (key.empty())
        return area;
    double radius = std::min(area.h, textSize()) * 0.35;
    colour(cr, keyColour(key));
    cairo_arc(cr, area.x + padding + radius, area.y + area.h / 2.0, radius, 0, 6.2832);
    cairo_fill(cr);
    int taken = padding + static_cast<int>(2 * radius);
    return {area.x + taken, area.y, area.w - taken, area.h};
}

void window(cairo_t* cr, const Item& item)
{
    fill(cr, item.rect, windowFill);
    if (item.inner == item.rect)
        return;
    Rect bar{item.rect.x, item.rect.y, item.rect.w, item.inner.y - item.rect.y};
    fill(cr, bar, titleFill);
    outline(cr, item.rect, lineColour);
    TextStyle title{textColour, Align::Left, std::min(textSize(), bar.h - 12), true};
    drawText(cr, item.text, {bar.x + 2 * padding, bar.y, bar.w - 4 * padding, bar.h}, title);
}

// A button, combo box or check box; focused ones are lit.
void control(cairo_t* cr, const Item& item)
{
    unsigned textRgb = item.focused ? darkText : textColour;
    Rect area = item.rect;
    if (item.part != Part::Checkbox || item.focused)
        fill(cr, area, item.focused ? focusFill : controlFill);
    if (item.part != Part::Checkbox)
        outline(cr, area, lineColour);
    area = keySymbol(cr, item.key, shrunk(area, 1));
    if (item.part == Part::Checkbox) {
        int side = std::min(area.h - 4, textSize());
        Rect box{area.x + 2, area.y + (area.h - side) / 2, side, side};
        fill(cr, box, fieldFill);
        if (item.checked)
            fill(cr, shrunk(box, std::max(2, side / 5)), darkText);
        area = {box.x + side + padding, area.y, area.w - side - padding - 2, area.h};
    }
    if (item.part == Part::Combo) {
        double h = area.h / 4.0, right = area.x + area.w - padding;
        colour(cr, textRgb);
        cairo_move_to(cr, right - 2 * h, area.y + area.h / 2.0 - h / 2);
        cairo_rel_line_to(cr, 2 * h, 0);
        cairo_rel_line_to(cr, -h, h);
        cairo_fill(cr);
        area.w -= static_cast<int>(2 * h) + padding;
    }
    int inset = item.align == Align::Centre ? 0 : padding;
    drawText(cr, item.text, {area.x + inset, area.y, area.w - inset, area.h}, {textRgb, item.align});
}

// A white field, drawn also when empty; the cursor while it is edited.
void field(cairo_t* cr, const Item& item)
{
    fill(cr, item.rect, fieldFill);
    outline(cr, item.rect, item.focused ? focusFill : lineColour, item.focused ? 3 : 1);
    Rect area = shrunk(item.rect, padding);
    drawText(cr, item.text, {area.x, item.rect.y, area.w, item.rect.h}, {darkText});
    if (!item.editing)
        return;
    cairo_text_extents_t extents;
    cairo_text_extents(cr, printable(item.text).c_str(), &extents);
    fill(cr, {area.x + static_cast<int>(extents.x_advance) + 1, area.y, 2, area.h}, darkText);
}

void row(cairo_t* cr, const Item& item)
{
    bool lit = item.current && item.focused;
    if (item.current)
        fill(cr, item.rect, lit ? focusFill : currentFill);
    int inset = item.align == Align::Centre ? 0 : padding;
    Rect area{item.rect.x + inset, item.rect.y, item.rect.w - inset, item.rect.h};
    drawText(cr, item.text, area, {lit ? darkText : textColour, item.align});
}

// Cairo's and fontconfig's caches are given back at exit, so that a leak
// checker sees what is left over of our own.
void releaseFontCaches()
{
    cairo_debug_reset_static_data();
    FcFini();
}

void part(cairo_t* cr, const Item& item)
{
    Rect inset{item.rect.x + padding, item.rect.y, item.rect.w - padding, item.rect.h};
    switch (item.part) {
    case Part::Window: window(cr, item); break;
    case Part::Label: drawText(cr, item.text, item.rect, {}); break;
    case Part::Field: field(cr, item); break;
    case Part::List: fill(cr, item.rect, listFill); break;
    case Part::Popup:
        fill(cr, item.rect, listFill);
        outline(cr, item.rect, lineColour);
        break;
    case Part::Row: row(cr, item); break;
    case Part::StatusBar:
        fill(cr, item.rect, statusFill);
        drawText(cr, item.text, inset, {statusText});
        break;
    default: control(cr, item); break;
    }
}

} // namespace

void paintScene(cairo_t* cr, const Scene& scene)
{
    static const bool releasedAtExit = std::atexit(releaseFontCaches) == 0;
    (void)releasedAtExit;  // nothing to do if it cannot be registered
    fill(cr, {0, 0, screenWidth, screenHeight}, screenBackground);
    for (const Item& item : scene) {
        Rect area = item.rect.intersect(item.clip);
        if (area.empty())
            continue;
        cairo_save(cr);
        cairo_rectangle(cr, area.x, area.y, area.w, area.h);
        cairo_clip(cr);
        part(cr, item);
        cairo_restore(cr);
    }
}

void paintLegend(cairo_t* cr, const Rect& area, const std::string& legend)
{
    fill(cr, area, statusFill);
    drawText(cr, legend, area, {statusText, Align::Centre, 14});
}

} // namespace pchost
