#pragma once
#include <string>
#include <vector>

#include "pchost/paint/scene.h"

// The text painter: the scene on a grid of 90 x 36 cells of 8 x 16 pixels,
// for snap, the tests and the terminal. Every widget keeps its first column
// for a mark: '>' on the focused widget and on the current row of a focused
// list, '*' on the current row of a list without the focus; a centred row's
// text is centred after the mark. An input field stands between brackets,
// with '_' as its cursor while it is edited.
namespace pchost {

const int gridColumns = screenWidth / cellWidth;
const int gridRows = screenHeight / cellHeight;

// How a cell stands out where the medium can show it.
enum class CellStyle : unsigned char { Plain, Focus, Current, Field, Title };

struct TextGrid {
    std::vector<std::string> lines;              // gridRows lines of gridColumns characters
    std::vector<std::vector<CellStyle>> styles;  // the same shape

    // The characters, each line ended by '\n'.
    std::string text() const;
};

TextGrid paintText(const Scene& scene);

} // namespace pchost
