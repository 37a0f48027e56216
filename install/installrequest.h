#pragma once
#include <functional>

#include "host/estring.h"
#include "install/copyprogress.h"

// What becomes of the image file once its slot is on the disk. A backup
// that nimbrel backup wrote stays whatever is asked: it is the user's copy
// of a slot, and restoring it must not use it up.
enum class ImageFileAfter {
    TwoPartGoes,  // the windows' rule: a two-part image file goes
    Kept,  // nimbrel's and the page's unless asked
    Goes,  // asked: the image file goes, single-part or two-part
};

// What the install dialog hands to the installation.
struct InstallRequest {
    int noliste = 1;  // 1 when no image file is listed
    int noiort = 1;  // 1 when no free slot is listed
    int minfree = 20000;  // kB needed on the store's medium
    long long freemem = 0;  // kB free there when the dialog opened
    eString file;  // image file in the mount point
    eString slot;  // "0" to "9"
    eString name;  // empty for the default name
    bool copySettings = false;
    // The image file goes with FILE.md5 and FILE.sha256 beside it.
    ImageFileAfter fileAfter = ImageFileAfter::TwoPartGoes;
    // Told when the image file is a backup, kept as such. May be empty.
    std::function<void()> backupKept;
    // Told the image file first of all: the plug-in writes its trace line
    // to stderr, the box's log. May be empty.
    std::function<void(const eString& file)> started;
    // Runs every check up to the space the tree needs, then withdraws what
    // it mounted and made, writing nothing, and reports Done.
    bool checkOnly = false;
    // Told how far the check against checksum files, the copy (or the cut)
    // has come, "100 %" once the copy is whole, and an empty text when a
    // step follows that has no share.
    ProgressShown progress;
    // Asked between the steps up to the slot's final rename: true stops the
    // installation there as a failure, "installation cancelled", leaving
    // the slot free and the image file in place. May be empty.
    std::function<bool()> cancelled;
};
