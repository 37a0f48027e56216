#include "host/elistbox.h"
#include "pchost/toolkit/keys.h"

using pchost::Key;
using pchost::keyCode;

// The list is the combo box's child but never shown as a widget of its
// own: the screen draws it as a popup while the combo box is open.
eComboBox::eComboBox(eWidget* parent, int openEntries, eLabel*, int takeFocus, const char* deco)
    : eButton(parent, nullptr, takeFocus, deco)
    , list(new eListBox<eListBoxEntryText>(this, nullptr, 0))
    , openEntries(openEntries > 0 ? openEntries : 1)
{
    list->hide();
}

eComboBox::~eComboBox() = default;

eListBox<eListBoxEntryText>* eComboBox::getListBox() const
{
    return list;
}

eListBoxEntryText* eComboBox::getCurrent() const
{
    return list->getCurrent();
}

int eComboBox::setCurrent(int index, bool sendSelected)
{
    if (!list->setCurrentIndex(index))
        return -1;
    if (sendSelected)
        selchanged.emit(getCurrent());
    return 0;
}

int eComboBox::getOpenEntries() const
{
    return openEntries;
}

bool eComboBox::isOpen() const
{
    return open;
}

bool eComboBox::keyPressed(int key)
{
    if (!open) {
        if (key != keyCode(Key::Ok))
            return false;
        open = !list->getEntries().empty();
        currentBeforeOpen = list->getCurrentIndex();
        return true;
    }
    if (key == keyCode(Key::Up))
        list->setCurrentIndex(list->getCurrentIndex() - 1);
    else if (key == keyCode(Key::Down))
        list->setCurrentIndex(list->getCurrentIndex() + 1);
    else if (key == keyCode(Key::Exit))
        list->setCurrentIndex(currentBeforeOpen);
    if (key == keyCode(Key::Ok) || key == keyCode(Key::Exit))
        open = false;
    if (key == keyCode(Key::Ok))
        selchanged.emit(getCurrent());
    return true;  // the open list keeps every key to itself
}
