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

// Replaces the file NAME in slot directory DIR by one holding CONTENT,
// durably: written beside as NAME.new, synced, renamed over whatever stood
// there (never written through) and DIR synced. False when the new file
// could not be put in place; the old one stays then, and no scratch file.
bool replaceSlotFile(const eString& dir, const char* name, const std::string& content);

// Replaces the Image.info of slot directory DIR by the one line "name=NAME",
// durably. Whatever stood there (a file, a link, a directory) is replaced,
// never written through: an installed image may carry an Image.info that
// leads out of its slot. False when the new file could not be put in place;
// the old one stays then, and no scratch file.
bool writeImageInfo(const eString& dir, const eString& name);

// Takes slot directory DIR out of the installed state: removes its
// Image.info durably. True also when it had none.
bool removeImageInfo(const eString& dir);

// Removes the Image.info.new that a stopped rename or installation left in
// slot SLOT's directory (not through a link to it). Best effort.
void removeStaleNameFile(int slot);
