#include "plugin/renameclear.h"

#include "manage/slotactions.h"
#include "manage/slotedit.h"
#include "plugin/globals.h"
#include "plugin/message.h"
#include "store/imagename.h"

namespace {

eComboBox* makeImagebox(eWidget* parent)
{
    auto* box = new eComboBox(parent, 4, nullptr, 1, "eComboBox");
    box->loadDeco();
    box->move(ePoint(20, 20));
    box->resize(eSize(170, fd + 15));
    return box;
}

eLabel* makeCaption(eWidget* parent)
{
    auto* caption = new eLabel(parent, 0, 0, "eLabel");
    caption->move(ePoint(60, 80));
    caption->resize(eSize(100, fd + 4));
    caption->setText("new Name");
    return caption;
}

eTextInputField* makeNameField(eWidget* parent)
{
    auto* field = new eTextInputField(parent, nullptr, nullptr, "eNumber");
    field->move(ePoint(20, 110));
    field->resize(eSize(170, fd + 15));
    field->setMaxChars(nameLength);
    field->setUseableChars(nameChars);
    field->loadDeco();
    return field;
}

eButton* makeButton(eWidget* parent)
{
    auto* button = new eButton(parent, nullptr, 1, "eButton");
    button->setShortcut("green");
    button->setShortcutPixmap("green");
    button->loadDeco();
    return button;
}

} // namespace

renameclear::renameclear(int mode)
    : eWindow(0)
    , mode(mode)
{
    cmove(ePoint(250, 150));
    imagebox = makeImagebox(this);
    eLabel* caption = makeCaption(this);
    newname = makeNameField(this);
    eButton* button = makeButton(this);
    button->selected.connect(SigC::slot(*this, &renameclear::oksel));
    applyMode(caption, button);
    LoadNamen();
}

renameclear::~renameclear() = default;

void renameclear::applyMode(eLabel* caption, eButton* button)
{
    if (mode == 1) {
        cresize(eSize(210, 240));
        setText("Rename Image");
        button->move(ePoint(20, 170));
        button->resize(eSize(170, fd + 15));
        button->setText("Rename");
    } else if (mode == 2) {
        cresize(eSize(210, 160));
        setText("Erase Image");
        caption->hide();
        newname->hide();
        button->move(ePoint(20, 90));
        button->resize(eSize(170, fd + 15));
        button->setText("Erase");
    }
}

void renameclear::LoadNamen()
{
    for (const SlotEntry& entry : listSlots(mode == 2)) {
        slotKeys[entry.slot].sprintf("%d", entry.slot);
        new eListBoxEntryText(imagebox->getListBox(), entry.text.c_str(),
            slotKeys[entry.slot].data(), 0, "", 0);
    }
    imagebox->setCurrent(0, false);  // fails only for an empty list, which oksel refuses
}

void renameclear::oksel()
{
    eListBoxEntryText* current = imagebox->getCurrent();
    if (!current) {
        refuseEmpty();
        return;
    }
    std::optional<Outcome> outcome = act(static_cast<const char*>(current->getKey()));
    if (outcome)
        showOutcome(*outcome);
    close(0);
}

std::optional<Outcome> renameclear::act(const eString& nr)
{
    if (mode == 1)
        return renameSlot(nr, newname->getText());
    if (mode == 2)
        return eraseSlot(nr);
    return std::nullopt;
}

void renameclear::refuseEmpty()
{
    hide();
    showOutcome(Outcome::refused("no selected Image"));
    show();
    close(0);
}
