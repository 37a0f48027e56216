#include "plugin/menucolor.h"

#include <optional>

#include "manage/colorchoice.h"
#include "manage/slotactions.h"
#include "plugin/message.h"

Menucolor::Menucolor()
    : eWindow(0)
{
    cmove(ePoint(280, 150));
    cresize(eSize(150, 220));
    setText("Menu color");

    liste = new eListBox<eListBoxEntryText>(this);
    liste->move(ePoint(10, 10));
    liste->resize(eSize(130, 200));
    liste->setFlags(2);
    for (intptr_t key = firstColorKey; key <= lastColorKey; ++key)
        new eListBoxEntryText(liste, colorText(key),
            reinterpret_cast<void*>(key), 0, "", 0);
    liste->selected.connect(SigC::slot(*this, &Menucolor::Listeselected));
}

Menucolor::~Menucolor() = default;

void Menucolor::Listeselected(eListBoxEntryText* entry)
{
    // Leaving without a choice rebuilds the boot menu all the same.
    intptr_t key = entry ? reinterpret_cast<intptr_t>(entry->getKey()) : 0;
    if (std::optional<Outcome> outcome = applyColor(key))
        showOutcome(*outcome);
    close(0);
}
