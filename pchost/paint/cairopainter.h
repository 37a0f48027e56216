#pragma once
#include <string>

#include "pchost/paint/scene.h"

typedef struct _cairo cairo_t;

// The pixel painter: the scene as the box draws it, in DejaVu Sans at the
// skin's font size, for pictures and the desktop window alike.
namespace pchost {

// The colour of the screen where no window lies, as 0xRRGGBB.
const unsigned screenBackground = 0x0b1220;

// Paints SCENE onto CR, whose origin is the screen's top left corner,
// starting with the background.
void paintScene(cairo_t* cr, const Scene& scene);

// Paints TEXT, a line naming the keys, centred on a bar filling AREA.
void paintLegend(cairo_t* cr, const Rect& area, const std::string& text);

} // namespace pchost
