#pragma once
#include <string>

#include "pchost/front/session.h"

// Key codes as the toolkit's keyPressed receives them, and key names as
// scripts, shortcuts and the terminal spell them.
namespace pchost {

inline int keyCode(Key key)
{
    return static_cast<int>(key);
}

// The script name of KEY ("green", "0"); empty for Text.
std::string keyName(Key key);
// Sets KEY to the key called NAME; false when there is none.
bool keyByName(const std::string& name, Key& key);

} // namespace pchost
