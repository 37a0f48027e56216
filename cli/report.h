#pragma once
#include <optional>
#include <string>
#include <vector>

#include "host/estring.h"
#include "store/slots.h"

// What `nimbrel status` and `nimbrel images` tell, gathered from the store
// without changing it.

struct SlotReport {
    int slot = 0;
    SlotState state = SlotState::Free;
    std::optional<std::string> name;
    std::optional<long long> kilobytes;  // as tools/du counts it
    std::optional<std::string> installed, image;  // the slot's details
    bool started = false;  // the boot menu on the disk starts it
};

// One slot's report; SIZE measures it with the store's tools/du.
SlotReport reportSlot(int slot, bool size = true);

// The image files the install dialog lists, sorted by name.
std::vector<eString> listImageFiles();

// The reports as text lines for a person, or as JSON (JSON true).
std::string statusReport(bool json);
std::string imagesReport(bool json);

// The slots tools/menu on the disk starts, by its start lines.
std::vector<bool> startedSlots();
