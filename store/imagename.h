#pragma once
#include <string>

#include "host/estring.h"

// NR is a slot number as the dialogs keep it, decimal text ("3").

// What the name fields of the install and rename dialogs accept: these
// characters, in the order they offer them, and at most nameLength of them.
// So a name never holds a comma, which would split the boot menu's items.
constexpr char nameChars[] =
    " abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ1234567890-+:.";
constexpr int nameLength = 10;

// The name an image gets: TYPED, or "Image-NR" when nothing was typed.
eString imageName(const eString& nr, const eString& typed);

// The files of a slot directory DIR are replaced by a scratch file NAME.new
// written beside and renamed over whatever stood there (a file, a link, a
// directory), never written through: an installed image may carry an
// Image.info that leads out of its slot. Neither step makes anything
// durable: the caller's barrier does (store/bootmenu.h).

// Writes CONTENT as NAME.new in DIR. False, with nothing of it left, when
// it cannot be written whole.
bool stageSlotFile(const eString& dir, const char* name, const std::string& content);

// Renames NAME.new over NAME in DIR. False when it cannot be put in place;
// the old file stays then, and no scratch file.
bool placeSlotFile(const eString& dir, const char* name);

// Both steps at once.
bool replaceSlotFile(const eString& dir, const char* name, const std::string& content);

// The content of an Image.info naming NAME: the one line "name=NAME".
eString imageInfoLine(const eString& name);

// Replaces the Image.info of slot directory DIR by one naming NAME.
bool writeImageInfo(const eString& dir, const eString& name);

// Removes the Image.info.new that a stopped rename or installation left in
// slot SLOT's directory (not through a link to it). Best effort.
void removeStaleNameFile(int slot);

// Removes the Image.info.new that stopped renames left in the slots.
void clearStaleNames();
