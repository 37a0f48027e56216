#pragma once
#include <optional>

#include "pchost/toolkit/keys.h"

// The terminal's keys as the box's remote control: arrows, Enter = ok,
// Esc = exit, F1..F4 = red green yellow blue, digits.
namespace pchost {

// The key meant by CODE, a key as curses reads it; nothing for a key the
// remote control has no counterpart of. While an input field is EDITING,
// printable keys type themselves and Backspace deletes.
std::optional<KeyPress> translateKey(int code, bool editing);

} // namespace pchost
