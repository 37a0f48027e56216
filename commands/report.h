#pragma once
#include <functional>
#include <nlohmann/json.hpp>
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
    bool blocked = false;  // free, but something that is no slot stands at image/N
    std::optional<std::string> name;
    std::optional<long long> kilobytes;  // as tools/du counts it
    std::optional<std::string> installed, image;  // the slot's details
    int entry = 0;  // the entry of the boot menu on the disk that starts it; 0: none
    bool chosen = false;  // the boot menu's default
};

// One slot's report; SIZE measures it with the store's tools/du. ENTRIES:
// bootEntries(), when the caller has read them.
SlotReport reportSlot(int slot, bool size = true, const std::vector<int>& entries = {});

// REPORT as status --json gives each slot.
nlohmann::json slotJson(const SlotReport& report);

// Slot SLOT's report for `nimbrel info`: lines for a person, or JSON.
std::string infoReport(int slot, bool json);

// The store's action log as it is; refuses (Refusal) one that cannot be read.
std::string actionLog();

// The image files the install dialog lists, sorted by name.
std::vector<eString> listImageFiles();

// The kB the store's tools/du gives for SLOT; none where it gives none.
// One measure for the run: a du that hangs is given its time once.
std::optional<long long> measureSlot(int slot);

// A slot's size in kB, or none.
using SlotSizeOf = std::function<std::optional<long long>(int slot)>;

// The reports as text lines for a person, or as JSON (JSON true). The
// status has each slot measured now, or its size from SIZE_OF if given.
std::string statusReport(bool json, const SlotSizeOf& sizeOf = nullptr);
std::string imagesReport(bool json);

// For each slot the entry that tools/menu on the disk starts it as, by its
// start lines; 0 for none.
std::vector<int> bootEntries();
