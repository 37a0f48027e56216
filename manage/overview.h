#pragma once
#include "host/estring.h"
#include "store/slots.h"

// The work of the installed-images overview, without a window.

// The size column's text from the first line of the du output in DU_FILE:
// the size field (the text before the separator that precedes the first "/")
// plus " kB"; the whole line plus " kB" when it has no "/" after its first
// character; "? kB" when the file holds no line; empty when it is no plain
// file or does not open.
eString sizeText(const char* duFile);

// What the size column shows for a slot that tools/du did not measure in
// time.
constexpr char sizeUnknown[] = "size unknown";

// Measures slots with the store's tools/du, each within duLimitMs: a du
// that hangs (a broken tool, a dying disk) must not hang the overview.
class SlotMeasure {
public:
    explicit SlotMeasure(int limitMs = duLimitMs) : limitMs(limitMs) {}

    // Runs tools/du -s on slot SLOT with its output into OUT_FILE, made
    // afresh, and returns its size text; empty when that file cannot be
    // made; sizeUnknown when du did not end in time, here or for an earlier
    // slot (a tool that hangs hangs for all: it is not asked again).
    eString sizeOf(int slot, const char* outFile);

    // Far more than du takes for a slot on the box's slow CPU.
    static constexpr int duLimitMs = 20000;

private:
    int limitMs;
    bool answering = true;
};

// The name column's text for SLOT in STATE: the image's name, "corrupted"
// or "----------".
eString statusText(int slot, SlotState state);
