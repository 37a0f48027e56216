#pragma once
#include <string>

// The slot a command names: its number 0..9, or the name of exactly one
// installed slot. Throws Refusal naming the slots when the name fits none
// or several.
int namedSlot(const std::string& text);
