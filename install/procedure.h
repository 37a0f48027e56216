#pragma once
#include <functional>
#include <optional>

#include "host/estring.h"
#include "install/copyprogress.h"
#include "store/outcome.h"

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

// The refusal to show instead of installing: too little space, or nothing
// to install or nowhere to put it. Empty when the installation may run.
std::optional<Outcome> refusal(const InstallRequest& request);

// Unpacks the image file into the slot, makes the slot startable, records
// its name and rebuilds the boot menu. The slot appears whole or not at all,
// and is on the disk before a success is reported. A failed step ends the
// run with its message and leaves the slot free; only those after the
// slot's rename leave it installed: the sync of image/ ("could not sync
// image directory") and the boot menu (bootMenuFailure()). A two-part image
// file goes once its slot is on the disk, and stays otherwise. Fails with
// "could not mount cramfs", touching nothing, when /tmp/image is no
// directory of its own. Refuses, before anything is mounted or written, a
// store that cannot be written and an image file that is none, is
// incomplete or differs from its checksum files (refuseDamaged); with
// storeBusy() while another action holds the store's lock, and with
// "another installation is running" while an installation into another
// store, or a command that a killed run left, holds /tmp (waited for up to
// 3 s). It holds both locks for its whole run, its commands the one on /tmp
// too. Ctrl-C waits until it has ended.
Outcome installImage(const InstallRequest& request);
