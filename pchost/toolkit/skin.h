#pragma once

// The skin's "fontsize" value; the skin has none until it is set.
void setSkinFontSize(int size);
void clearSkinFontSize();
