#pragma once
#include <optional>

#include "host/elabel.h"
#include "host/elistbox.h"
#include "host/ewidget.h"
#include "store/outcome.h"
#include "store/slots.h"

// Renames (mode 1) or erases (mode 2) one image slot chosen from a list of
// the slots. Its one button acts once, regenerates the boot menu and closes.
class renameclear : public eWindow {
public:
    explicit renameclear(int mode);
    ~renameclear() override;

private:
    void applyMode(eLabel* caption, eButton* button);
    void LoadNamen();
    void oksel();
    // The rename or erase of slot NR (nothing in another mode), as
    // manage/slotactions.h runs them; what to show, if anything.
    std::optional<Outcome> act(const eString& nr);
    void refuseEmpty();

    eComboBox* imagebox;
    eTextInputField* newname;
    int mode;
    // The entries' keys, slot N's number as text at index N. The entries
    // only point here, so the dialog owns and releases them.
    eString slotKeys[slotCount];
};
