#include "plugin/install.h"

#include <cstdint>

#include "host/emessagebox.h"
#include "manage/about.h"
#include "plugin/imagedir.h"
#include "plugin/imageinfo.h"
#include "plugin/menucolor.h"
#include "plugin/renameclear.h"

namespace {

const char* const entryTexts[] = {
    " Install new Image",
    " Rename Image",
    " Erase Image",
    " Installed Images",
    " Menu color",
    " About...",
};

} // namespace

install::install()
    : eWindow(0)
{
    cmove(ePoint(200, 150));
    cresize(eSize(280, 200));
    setText("Nimbrel");

    liste = new eListBox<eListBoxEntryText>(this);
    liste->move(ePoint(10, 10));
    liste->resize(eSize(260, 180));
    liste->setFlags(2);
    for (intptr_t key = 0; key < 6; ++key)
        new eListBoxEntryText(liste, entryTexts[key], reinterpret_cast<void*>(key), 0, "", 0);
    liste->selected.connect(SigC::slot(*this, &install::Listeselected));
}

install::~install() = default;

template <class Dialog, class... Args>
void install::runDialog(Args... args)
{
    hide();
    Dialog dialog(args...);
    dialog.show();
    dialog.exec();  // every dialog reports its own outcome
    dialog.hide();
    show();
}

void install::Listeselected(eListBoxEntryText* entry)
{
    if (!entry) {
        close(0);
        return;
    }
    switch (reinterpret_cast<intptr_t>(entry->getKey())) {
    case 0:
        runDialog<Imagedir>();
        break;
    case 1:
        runDialog<renameclear>(1);
        break;
    case 2:
        runDialog<renameclear>(2);
        break;
    case 3:
        runDialog<Imageinfo>();
        break;
    case 4:
        runDialog<Menucolor>();
        break;
    case 5:
        runDialog<eMessageBox>(eString(aboutText), eString("About..."), 1, 1, 0);
        break;
    default:
        break;  // keys without a dialog leave the menu as it is
    }
}
