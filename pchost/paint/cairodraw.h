#pragma once
#include <string>

#include "pchost/paint/scene.h"

typedef struct _cairo cairo_t;

// Drawing steps of the pixel painter: colours as 0xRRGGBB, text in DejaVu
// Sans.
namespace pchost {

const unsigned textColour = 0xf2f2f2;

void colour(cairo_t* cr, unsigned rgb);
void fill(cairo_t* cr, const Rect& area, unsigned rgb);
// A line of WIDTH pixels just inside AREA's edge.
void outline(cairo_t* cr, const Rect& area, unsigned rgb, int width = 1);
// TEXT with every byte Cairo would not take as UTF-8 (the plug-in's texts
// are plain bytes) and every tab shown as '?'.
std::string printable(const std::string& text);

struct TextStyle {
    unsigned rgb = textColour;
    Align align = Align::Left;
    int size = 0;  // 0: the size of the skin's font
    bool bold = false;
};

// TEXT in AREA: one line centred from top to bottom, several from the top
// down, one line height apart.
void drawText(cairo_t* cr, const std::string& text, const Rect& area, const TextStyle& style);

} // namespace pchost
