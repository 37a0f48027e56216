#pragma once
#include <cstdint>

// The boot-menu colours offered by the colour window, keyed 2 to 8.
constexpr intptr_t firstColorKey = 2;
constexpr intptr_t lastColorKey = 8;

// Sets the global color to KEY's one-digit code when KEY is a colour key;
// any other key leaves it as it is.
void chooseColor(intptr_t key);

// The colour window's entry for KEY, such as " green"; empty for a key
// that is no colour.
const char* colorText(intptr_t key);
