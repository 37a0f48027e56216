#include "host/elabel.h"

#include "pchost/toolkit/widgethost.h"

using pchost::Key;
using pchost::keyCode;

eLabel::eLabel(eWidget* parent, int, int takeFocus, const char* deco)
    : eDecoWidget(parent, takeFocus, deco)
{
}

void eLabel::setShortcutPixmap(const eString& keyName)
{
    shortcutPixmap = keyName;
}

const eString& eLabel::getShortcutPixmap() const
{
    return shortcutPixmap;
}

eButton::eButton(eWidget* parent, eLabel*, int takeFocus, const char* deco)
    : eLabel(parent, 0, takeFocus, deco)
{
}

bool eButton::keyPressed(int key)
{
    if (key != keyCode(Key::Ok))
        return false;
    selected.emit();
    return true;
}

eCheckbox::eCheckbox(eWidget* parent, int checked, int takeFocus, bool, const char* deco)
    : eButton(parent, nullptr, takeFocus, deco)
    , checked(checked)
{
}

int eCheckbox::isChecked() const
{
    return checked;
}

// Ticked or not before the button tells of its press.
bool eCheckbox::keyPressed(int key)
{
    if (key == keyCode(Key::Ok))
        checked = !checked;
    return eButton::keyPressed(key);
}

eStatusBar::eStatusBar(eWidget* parent, const char* deco)
    : eLabel(parent, 0, 0, deco)
{
}

eString eStatusBar::getShownText() const
{
    eWidget* focus = eWidgetHost::focused(eWidgetHost::windowOf(this));
    if (!focus)
        return "";
    auto* field = dynamic_cast<eTextInputField*>(focus);
    if (field && field->isEditing())
        return field->getEditHelpText();
    return focus->getHelpText();
}
