#include "manage/menucolor.h"

#include <optional>

#include "manage/colorchoice.h"
#include "plugin/globals.h"
#include "plugin/message.h"
#include "store/lock.h"
#include "store/nameedit.h"
#include "store/storecheck.h"

namespace {

// Indexed by key - firstColorKey.
const char* const colorTexts[] = {
    " green",
    " cyan",
    " red",
    " magenta",
    " orange",
    " white",
    " gray",
};
static_assert(sizeof colorTexts / sizeof *colorTexts == lastColorKey - firstColorKey + 1);

// Takes the colour of ENTRY, if any, and rebuilds the boot menu, under the
// store's lock; what to show, if anything. A store that cannot be written
// keeps its colour.
std::optional<Outcome> applyChoice(const eListBoxEntryText* entry)
{
    StoreLock lock(mpoint);
    if (lock.busy())
        return storeBusy();
    if (std::optional<Outcome> readOnly = refuseReadOnlyStore())
        return readOnly;
    if (entry)
        chooseColor(reinterpret_cast<intptr_t>(entry->getKey()));
    if (!nameedit())
        return bootMenuFailure();
    return std::nullopt;
}

} // namespace

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
        new eListBoxEntryText(liste, colorTexts[key - firstColorKey],
            reinterpret_cast<void*>(key), 0, "", 0);
    liste->selected.connect(SigC::slot(*this, &Menucolor::Listeselected));
}

Menucolor::~Menucolor() = default;

void Menucolor::Listeselected(eListBoxEntryText* entry)
{
    if (std::optional<Outcome> outcome = applyChoice(entry))
        showOutcome(*outcome);
    close(0);
}
