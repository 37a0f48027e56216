#pragma once
#include "host/elabel.h"
#include "host/ewidget.h"
#include "manage/overview.h"
#include "store/slots.h"

// A read-only overview of the ten slots: number, measured size and name or
// state of each, gathered once when the window is built.
class Imageinfo : public eWindow {
public:
    Imageinfo();
    ~Imageinfo() override;

private:
    void addRow(int slot);

    eLabel* nrlabel[slotCount] = {};
    eLabel* namelabel[slotCount] = {};
    // Set only for installed slots.
    eLabel* sizelabel[slotCount] = {};
    SlotMeasure sizes;
};
