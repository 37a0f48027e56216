#pragma once
#include <functional>

#include "host/estring.h"

// An action that changes what a started slot is named, or whether it is
// there, switches the boot menu through its head (store/bootmenu.h) and
// takes its own steps between the switch's.

// The action's steps on slot SLOT, each empty when it takes none there.
struct SlotSteps {
    int slot = -1;
    eString name;                  // the slot's new name; empty when it goes
    std::function<bool()> stage;   // writes its new files beside their places
    // Once no entry of the script starts the slot: drops what names it
    // elsewhere, so the next barrier takes that to the disk before the change.
    std::function<bool()> unlist;
    std::function<bool()> change;  // changes the name, or takes the slot out
    std::function<bool()> clear;   // removes what needs no order (its files)
};

// How the switch ended: whole, or at the step that failed. Nothing of the
// slot has changed when its files could not be staged, or the head could
// not be put on the disk (Withheld); the script may be left at its head
// then, and is after a failed change or boot menu (MenuFailed: the slot
// has changed). A slot whose files could not all go ends ClearFailed.
enum class SwitchEnd { Done, StageFailed, Withheld, ChangeFailed, MenuFailed, ClearFailed };

// Takes the switch with STEPS, the boot menu composed from the slots with
// STEPS' slot named or left out; Done once all of it is on the disk.
SwitchEnd switchSlot(const SlotSteps& steps);
