#pragma once
#include <optional>
#include <string>

// Names as JSON carries them whole. A name that is UTF-8 goes as it is; any
// other (bytes of a Latin-1 box, say) goes with each byte as the character
// of that number, U+0000..U+00FF, so that none is replaced and lost.

// BYTES as a JSON string's text, by that rule.
std::string jsonName(const std::string& bytes);

// The bytes a name from JSON stood for, when it is one that jsonName made
// of non-UTF-8 bytes (every character U+0000..U+00FF); empty otherwise.
std::optional<std::string> namedBytes(const std::string& text);
