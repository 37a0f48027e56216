#pragma once
#include <string>

// Key codes as the toolkit's keyPressed receives them, and key names as
// scripts, shortcuts and the terminal spell them.
namespace pchost {

enum class Key {
    Up, Down, Left, Right, Ok, Exit, Red, Green, Yellow, Blue,
    Digit0, Digit1, Digit2, Digit3, Digit4, Digit5, Digit6, Digit7, Digit8, Digit9,
    Text,  // types KeyPress::text into the input field being edited
    Snap,  // the session's, no modal loop sees it: records (and, when echoing, prints)
           // the screen as text; with KeyPress::text, writes it there as a PNG picture
    Wait,  // the session's too: waits for a line on standard input (or its end), so that
           // a driver chooses the instant of the next key, as a person at the box does
};

struct KeyPress {
    Key key;
    std::string text;
};

inline int keyCode(Key key)
{
    return static_cast<int>(key);
}

// The script name of KEY ("green", "0"); empty for Text.
std::string keyName(Key key);
// Sets KEY to the key called NAME; false when there is none.
bool keyByName(const std::string& name, Key& key);

} // namespace pchost
