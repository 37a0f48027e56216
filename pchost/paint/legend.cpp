#include "pchost/paint/legend.h"

#include "host/elabel.h"
#include "pchost/toolkit/widgethost.h"

namespace pchost {

namespace {

// The input field focused in the window in front, or null.
eTextInputField* frontField()
{
    const std::vector<eWidget*>& windows = eWidgetHost::topLevels();
    for (auto window = windows.rbegin(); window != windows.rend(); ++window) {
        if ((*window)->isVisible())
            return dynamic_cast<eTextInputField*>(eWidgetHost::focused(*window));
    }
    return nullptr;
}

} // namespace

bool editingText()
{
    eTextInputField* field = frontField();
    return field && field->isEditing();
}

std::string keyLegend()
{
    eTextInputField* field = frontField();
    if (field && field->isEditing())
        return "type the text  Backspace deletes  F3 a<>A  Enter or Esc ends editing";
    if (field)
        return "Enter starts editing  arrows move  Esc exit  F1 red  F2 green  F3 yellow  F4 blue";
    return "arrows move  Enter ok  Esc exit  F1 red  F2 green  F3 yellow  F4 blue  0-9 digits";
}

} // namespace pchost
