#include "plugin/imageinfo.h"

#include "manage/overview.h"
#include "plugin/globals.h"

namespace {

eLabel* rowLabel(eWidget* parent, int x, int y, int width, const eString& text)
{
    auto* label = new eLabel(parent, 0, 0, "eLabel");
    label->move(ePoint(x, y));
    label->resize(eSize(width, fd + 15));
    label->setText(text);
    return label;
}

eButton* makeOkButton(eWidget* parent)
{
    auto* ok = new eButton(parent, nullptr, 1, "eButton");
    ok->move(ePoint(130, 300));
    ok->resize(eSize(100, fd + 15));
    ok->setShortcut("green");
    ok->setShortcutPixmap("green");
    ok->setText("OK");
    ok->loadDeco();
    return ok;
}

} // namespace

Imageinfo::Imageinfo()
    : eWindow(0)
{
    cmove(ePoint(170, 100));
    cresize(eSize(360, 360));
    setText("Image Info");
    eButton* ok = makeOkButton(this);
    ok->selected.connect(SigC::slot(*this, &eWidget::accept));
    for (int slot = 0; slot < slotCount; ++slot)
        addRow(slot);
}

Imageinfo::~Imageinfo() = default;

void Imageinfo::addRow(int slot)
{
    int y = slot * (fd + 4);
    nrlabel[slot] = rowLabel(this, 10, y, 100, eString().sprintf("Image %d:", slot));
    SlotState state = probeSlot(slot);
    if (state == SlotState::Installed)
        sizelabel[slot] = rowLabel(this, 110, y, 120, sizes.sizeOf(slot, "/tmp/du.temp"));
    namelabel[slot] = rowLabel(this, 230, y, 120, statusText(slot, state));
}
