#pragma once
#include <optional>

#include "host/estring.h"

// What an installation records of its slot in a file of ours beside
// Image.info, which keeps its one line: when, and from which image file.
constexpr char slotDetailsName[] = "Image.details";

struct SlotDetails {
    eString installed;  // UTC, "2026-12-07T13:08:51Z"
    eString image;  // the image file's name in the store
};

// Writes the details of an installation of IMAGE now into slot directory
// DIR (replaceSlotFile: durable with the installation's next barrier).
bool writeSlotDetails(const eString& dir, const eString& image);

// The details of slot SLOT; none for a slot installed before they were
// kept, or whose file is no plain file of a few lines.
std::optional<SlotDetails> readSlotDetails(int slot);

// Takes slot directory DIR out of the installed state: removes its
// Image.details and Image.info. True also when it had none.
bool removeImageInfo(const eString& dir);

// VALUE as one line of the details file: backslashes and control characters
// escaped (\\, \n, \xHH), so that no file name can end or add a line; and
// back.
eString escapeLine(const eString& value);
eString unescapeLine(const eString& line);
