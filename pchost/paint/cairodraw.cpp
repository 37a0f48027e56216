#include "pchost/paint/cairodraw.h"

#include <algorithm>

#include <cairo.h>

namespace pchost {

namespace {

const char fontFamily[] = "DejaVu Sans";

} // namespace

void colour(cairo_t* cr, unsigned rgb)
{
    cairo_set_source_rgb(cr, ((rgb >> 16) & 0xff) / 255.0, ((rgb >> 8) & 0xff) / 255.0,
        (rgb & 0xff) / 255.0);
}

void fill(cairo_t* cr, const Rect& area, unsigned rgb)
{
    colour(cr, rgb);
    cairo_rectangle(cr, area.x, area.y, area.w, area.h);
    cairo_fill(cr);
}

void outline(cairo_t* cr, const Rect& area, unsigned rgb, int width)
{
    colour(cr, rgb);
    cairo_set_line_width(cr, width);
    double inset = width / 2.0;
    cairo_rectangle(cr, area.x + inset, area.y + inset, area.w - width, area.h - width);
    cairo_stroke(cr);
}

std::string printable(const std::string& text)
{
    std::string shown = text;
    std::replace_if(shown.begin(), shown.end(),
        [](char c) { return static_cast<unsigned char>(c) >= 0x80 || c == '\t'; }, '?');
    return shown;
}

void drawText(cairo_t* cr, const std::string& text, const Rect& area, const TextStyle& style)
{
    cairo_select_font_face(cr, fontFamily, CAIRO_FONT_SLANT_NORMAL,
        style.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, style.size > 0 ? style.size : textSize());
    cairo_font_extents_t font;
    cairo_font_extents(cr, &font);
    bool single = text.find('\n') == std::string::npos;
    double lineTop = single ? area.y + (area.h - font.ascent - font.descent) / 2 : area.y;
    colour(cr, style.rgb);
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = std::min(text.find('\n', start), text.size());
        std::string line = printable(text.substr(start, end - start));
        cairo_text_extents_t extents;
        cairo_text_extents(cr, line.c_str(), &extents);
        double x = area.x;
        if (style.align == Align::Centre)
            x += (area.w - extents.x_advance) / 2;
        cairo_move_to(cr, static_cast<int>(x), static_cast<int>(lineTop + font.ascent));
        cairo_show_text(cr, line.c_str());
        lineTop += lineHeight();
        start = end + 1;
    }
}

} // namespace pchost
