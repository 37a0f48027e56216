#pragma once
#include "host/elistbox.h"
#include "host/ewidget.h"

// The main menu: one entry per thing the plug-in can do. Choosing one hides
// the menu while that dialog runs.
class install : public eWindow {
public:
    install();
    ~install() override;

private:
    void Listeselected(eListBoxEntryText* entry);
    // Hides the menu, runs a Dialog made from ARGS modally, and shows the
    // menu again before the dialog is destroyed.
    template <class Dialog, class... Args>
    void runDialog(Args... args);

    eListBox<eListBoxEntryText>* liste;
};
