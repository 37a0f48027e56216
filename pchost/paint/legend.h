#pragma once
#include <string>

// What the keys do now, for the front ends that show a legend under the
// screen, and whether typed keys are text.
namespace pchost {

// True when the focused widget of the window in front, the one whose modal
// loop waits for a key, is an input field being edited.
bool editingText();

// One line naming the keys: the remote control's; on an input field, that
// Enter starts editing it; while it is edited, the typing keys and that
// Enter ends it.
std::string keyLegend();

} // namespace pchost
