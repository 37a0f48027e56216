#include "pchost/front/terminalkeys.h"

// Last: curses defines macros (move, clear, ...) that clash with the toolkit.
#include <curses.h>

namespace pchost {

namespace {

const int escape = 27;
const int deleteKey = 127;
const int controlH = 8;

std::optional<Key> remoteKey(int code)
{
    switch (code) {
    case KEY_UP: return Key::Up;
    case KEY_DOWN: return Key::Down;
    case KEY_LEFT: return Key::Left;
    case KEY_RIGHT: return Key::Right;
    case '\n':
    case '\r':
    case KEY_ENTER: return Key::Ok;
    case escape: return Key::Exit;
    case KEY_F(1): return Key::Red;
    case KEY_F(2): return Key::Green;
    case KEY_F(3): return Key::Yellow;
    case KEY_F(4): return Key::Blue;
    default: break;
    }
    if (code >= '0' && code <= '9')
        return static_cast<Key>(static_cast<int>(Key::Digit0) + code - '0');
    return std::nullopt;
}

} // namespace

std::optional<KeyPress> translateKey(int code, bool editing)
{
    if (editing && code >= ' ' && code < deleteKey)
        return KeyPress{Key::Text, std::string(1, static_cast<char>(code))};
    // The toolkit's input field deletes the last character on left.
    if (editing && (code == KEY_BACKSPACE || code == deleteKey || code == controlH))
        return KeyPress{Key::Left, ""};
    if (std::optional<Key> key = remoteKey(code))
        return KeyPress{*key, ""};
    return std::nullopt;
}

} // namespace pchost
