#pragma once
#include "host/ewidget.h"

class eTextInputFieldHelpWidget;

class eLabel : public eDecoWidget {
public:
    explicit eLabel(eWidget* parent, int flags = 0, int takeFocus = 0, const char* deco = "eLabel");
    // Shows the named key's symbol ("green") beside the text.
    void setShortcutPixmap(const eString& keyName);

    const eString& getShortcutPixmap() const;

private:
    eString shortcutPixmap;
};

class eButton : public eLabel {
public:
    explicit eButton(eWidget* parent, eLabel* description = nullptr, int takeFocus = 1,
        const char* deco = "eButton");

    // Emitted when the button is pressed with OK or its shortcut key.
    SigC::Signal<void()> selected;

    bool keyPressed(int key) override;
};

class eCheckbox : public eButton {
public:
    explicit eCheckbox(eWidget* parent, int checked = 0, int takeFocus = 1,
        bool swapTextPixmap = false, const char* deco = "eCheckBox");

    int isChecked() const;

    bool keyPressed(int key) override;

private:
    int checked;
};

// A one-line text field; OK starts and ends editing.
class eTextInputField : public eButton {
public:
    explicit eTextInputField(eWidget* parent, eLabel* description = nullptr,
        eTextInputFieldHelpWidget* help = nullptr, const char* deco = "eNumber");

    void setMaxChars(int count);
    // Only these characters can be typed.
    void setUseableChars(const char* characters);
    // The status bar shows this instead of the help text while editing.
    void setEditHelpText(const eString& text);

    bool isEditing() const;
    const eString& getEditHelpText() const;
    // Types TEXT at the end, keeping only useable characters up to the maximum.
    void typeText(const eString& text);
    void deleteChar();
    bool keyPressed(int key) override;

private:
    int maxChars = 0;
    eString useableChars;
    eString editHelpText;
    bool editing = false;
};

// Shows the help text of the focused widget of its window.
class eStatusBar : public eLabel {
public:
    explicit eStatusBar(eWidget* parent, const char* deco = "eStatusBar");

    // What it shows now: the edit help text of a field being edited, else
    // the help text of the focused widget.
    eString getShownText() const;
};
