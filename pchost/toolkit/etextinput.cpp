#include <cctype>

#include "host/elabel.h"
#include "pchost/toolkit/keys.h"

using pchost::Key;
using pchost::keyCode;

eTextInputField::eTextInputField(eWidget* parent, eLabel*, eTextInputFieldHelpWidget*,
    const char* deco)
    : eButton(parent, nullptr, 1, deco)
{
}

void eTextInputField::setMaxChars(int count)
{
    maxChars = count;
}

void eTextInputField::setUseableChars(const char* characters)
{
    useableChars = characters;
}

void eTextInputField::setEditHelpText(const eString& text)
{
    editHelpText = text;
}

bool eTextInputField::isEditing() const
{
    return editing;
}

const eString& eTextInputField::getEditHelpText() const
{
    return editHelpText;
}

// No maximum and no useable characters set mean no limit.
void eTextInputField::typeText(const eString& typed)
{
    eString text = getText();
    for (char c : typed) {
        if (maxChars > 0 && static_cast<int>(text.size()) >= maxChars)
            break;
        if (useableChars.empty() || useableChars.find(c) != eString::npos)
            text += c;
    }
    setText(text);
}

void eTextInputField::deleteChar()
{
    eString text = getText();
    if (!text.empty())
        text.pop_back();
    setText(text);
}

// Yellow switches the case of the last character, as long as the other
// case may be typed too.
static void toggleLastCase(eTextInputField& field)
{
    eString text = field.getText();
    if (text.empty())
        return;
    unsigned char last = text.back();
    char other = std::isupper(last) ? std::tolower(last) : std::toupper(last);
    text.pop_back();
    field.setText(text);
    field.typeText(eString(std::string(1, other)));
    if (field.getText().size() == text.size())
        field.typeText(eString(std::string(1, static_cast<char>(last))));
}

bool eTextInputField::keyPressed(int key)
{
    if (!editing) {
        editing = key == keyCode(Key::Ok);
        return editing;
    }
    if (key == keyCode(Key::Ok) || key == keyCode(Key::Exit))
        editing = false;
    else if (key == keyCode(Key::Left))
        deleteChar();
    else if (key == keyCode(Key::Yellow))
        toggleLastCase(*this);
    else if (key >= keyCode(Key::Digit0) && key <= keyCode(Key::Digit9))
        typeText(eString(std::string(1, static_cast<char>('0' + key - keyCode(Key::Digit0)))));
    return true;  // an edit keeps every key to itself
}
