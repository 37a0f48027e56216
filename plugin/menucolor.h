#pragma once
#include "host/elistbox.h"
#include "host/ewidget.h"

// Lets the user choose the boot menu's colour; leaving it, with or without
// a choice, regenerates the boot menu (showing an error box when that
// fails, or instead when the store cannot be written) and closes.
class Menucolor : public eWindow {
public:
    Menucolor();
    ~Menucolor() override;

private:
    void Listeselected(eListBoxEntryText* entry);

    eListBox<eListBoxEntryText>* liste;
};
