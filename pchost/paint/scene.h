#pragma once
#include <string>
#include <vector>

#include "pchost/toolkit/metrics.h"

// What the box's screen shows now, in its pixels: an ordered list of
// parts, bottom first, built afresh from the widget tree each time the
// screen is painted. It knows nothing of how a medium paints them.
namespace pchost {

struct Rect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;

    bool contains(int px, int py) const;
    bool empty() const;
    Rect intersect(const Rect& other) const;
    bool operator==(const Rect& other) const;
};

enum class Part {
    Window,     // text is the title, inner the client area (equal to rect without a frame)
    Label,
    Button,
    Checkbox,
    Field,      // a text input field
    Combo,      // a combo box showing its current entry
    List,       // a list box; its shown rows follow it
    Popup,      // the open list of a combo box; its shown rows follow it
    Row,        // one shown row of the list or popup before it
    StatusBar,
};

enum class Align { Left, Centre };

struct Item {
    Part part;
    Rect rect;                // where it lies
    Rect clip;                // the most it may paint: its ancestors' client areas
    Rect inner = {};          // Window: the client area
    std::string text = "";    // lines separated by '\n'
    Align align = Align::Left;  // a Button's, or a Row's as its entry asks
    bool focused = false;     // the focused widget; a Row: its list has the focus
    bool current = false;     // Row: the list's current entry
    bool checked = false;     // Checkbox: ticked
    bool editing = false;     // Field: being edited, the cursor after the text
    std::string key = "";     // a key whose symbol stands before the text ("green")
    int index = 0;            // Row: its place among the shown rows; List, Popup: rows shown
};

using Scene = std::vector<Item>;

// The scene of the shown top-level widgets, bottom of the stack first; each
// window's open combo lists come last in it, over its other widgets.
Scene buildScene();

} // namespace pchost
