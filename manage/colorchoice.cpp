#include "manage/colorchoice.h"

#include "store/context.h"

void chooseColor(intptr_t key)
{
    if (key >= firstColorKey && key <= lastColorKey)
        color.sprintf("%d", static_cast<int>(key));
}

const char* colorText(intptr_t key)
{
    // Indexed by key - firstColorKey.
    static const char* const texts[] = {
        " green",
        " cyan",
        " red",
        " magenta",
        " orange",
        " white",
        " gray",
    };
    static_assert(sizeof texts / sizeof *texts == lastColorKey - firstColorKey + 1);
    return key >= firstColorKey && key <= lastColorKey ? texts[key - firstColorKey] : "";
}
