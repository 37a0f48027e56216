#pragma once
#include <string>

#include "host/estring.h"

// The boot side reads tools/menu and tools/lcdmenu.conf, two plain files,
// as a pair: entry N of the menu starts the slot that item N names. A pair
// is sound when the script starts no slot (its head alone, which goes with
// any configuration), or when each of its start lines goes with the item
// of that entry and with the slot's Image.info. Each file is replaced by a
// scratch file beside it, renamed over it.
//
// The switch from one sound pair to another, and why it takes the barriers
// it takes. Two renames reach the disk in any order, on ext2 even across
// directories, unless a barrier (fsync of their directory, or a syncfs)
// lies between them; a renamed file reaches it whole only when its content
// was durable before the rename. No two files change at once, so while
// both files of the pair change, or a started slot's name or existence
// does, the script must stand at its head alone. The ordered steps:
//   1. Write the head alone as menu.new, and what the action writes beside
//      its place (a slot's whole tree, a new Image.info). Barrier 1 makes
//      them durable, with whatever a stopped run left unsynced.
//   2. Rename the head over tools/menu, and a new slot into place: neither
//      starts anything. Write the new script and configuration beside.
//      Barrier 2: the head (and the slot) on the disk before any name
//      changes, the new pair's contents durable.
//   3. Change the name (rename or remove Image.info) and rename the
//      configuration; an installed two-part image file may go (its slot is
//      on the disk). Barrier 3: both on the disk before the script starts
//      slots by them again, and before an erased slot's files go.
//   4. Rename the script, and remove an erased slot's files. Barrier 4: all
//      of it on the disk before success is said.
// Each barrier orders renames whose other order a power cut could leave as
// a script starting a slot under a name, or in a state, it does not have,
// or as a file cut short; so an installation, an erase and a rename take
// four each. A rename, which changes one small file, cannot take fewer:
// the head has no durable copy to rename from (menu.org is the user's file,
// of its own mode), so its content costs barrier 1, and the head, the name
// and the script each need theirs after their renames. When only one file
// changes (a colour), it goes from the old pair to the new one in one
// rename: its content and what a stopped run left durable (1), renamed, on
// the disk (2); when the script already stands at its head and both
// change, the configuration gets a barrier of its own before the script
// (3); when neither changes, barrier 1 alone.
//
// MenuSwitch takes the steps on the pair in TOOLS; its caller takes the
// barriers and its own steps between. Scratch files of steps not taken go
// with it, checked or not: a failure is reported by the step that failed.
class MenuSwitch {
public:
    MenuSwitch(const eString& tools, const std::string& head);
    ~MenuSwitch();
    MenuSwitch(const MenuSwitch&) = delete;
    MenuSwitch& operator=(const MenuSwitch&) = delete;

    // Whether a switch from the pair on the disk to SCRIPT and CONFIG goes
    // through the head: both change, and the script is not the head yet.
    bool throughHead(const std::string& script, const std::string& config) const;
    // Step 1: writes the head as menu.new unless tools/menu holds it.
    bool stageHead();
    // Step 2: renames the staged head over tools/menu; true when none is.
    bool withdraw();
    // Writes SCRIPT and CONFIG beside the files that do not hold them; a
    // stopped run's scratch file beside one that does goes.
    bool stage(const std::string& script, const std::string& config);
    // Steps 3 and 4: rename a staged file over its own; true when none is.
    bool placeConfig();
    bool placeScript();
    // Whether a new script, or any new file, waits beside the pair.
    bool scriptPending() const { return scriptStaged; }
    bool anyStaged() const { return scriptStaged || configStaged; }
    // Whether a rename of the pair has been made since the last call.
    bool renamed();
    // Once the pair is on the disk: drops what an earlier version's layout
    // left (the pair as links through tools/bootmenu into bootmenu.1 or .2),
    // never a file or directory of the user's. Before that, tools/menu may
    // still lead into it.
    void dropOldLayout();

private:
    bool place(const char* name, bool& staged);

    eString tools;
    std::string head;
    bool scriptStaged = false, configStaged = false, anyRenamed = false;
};
