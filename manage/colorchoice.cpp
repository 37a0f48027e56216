#include "manage/colorchoice.h"

#include "plugin/globals.h"

void chooseColor(intptr_t key)
{
    if (key >= firstColorKey && key <= lastColorKey)
        color.sprintf("%d", static_cast<int>(key));
}
