#pragma once
#include <deque>

#include "host/elabel.h"
#include "host/elistbox.h"
#include "host/ewidget.h"
#include "install/procedure.h"

// The install dialog: an image file of the mount point, a free slot, a name
// and whether the running system's settings go along; Install runs the
// installation and closes the dialog whatever its outcome.
class Imagedir : public eWindow {
public:
    Imagedir();
    ~Imagedir() override;

private:
    int LoadListe();
    int LoadIort();
    void okpressed();

    void addEntry(eComboBox* box, const eString& text);
    // Refuses, or installs with the Install button asking to wait meanwhile
    // and telling how far the copy has come.
    Outcome installChosen();
    InstallRequest request() const;
    // Shows OUTCOME in place of the dialog, then closes it.
    void finish(const Outcome& outcome);

    eComboBox* liste;
    eComboBox* iort;
    eButton* ok;
    eTextInputField* iname;
    eStatusBar* status;
    eCheckbox* settings;
    int noliste;
    int noiort;
    int minfree;
    long long freemem;
    // The combo-box entries' keys; a deque keeps their addresses stable.
    std::deque<eString> keys;
};
