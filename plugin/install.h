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
    template <class Dialog, class... Args>
    void runDialog(Args... args);

    eListBox<eListBoxEntryText>* liste;
};
