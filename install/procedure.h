#pragma once
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
    ProgressShown progress;  // told how far the copy (or the cut) has come
};

// The refusal to show instead of installing: too little space, or nothing
// to install or nowhere to put it. Empty when the installation may run.
std::optional<Outcome> refusal(const InstallRequest& request);

// Unpacks the image file into the slot, makes the slot startable, records
// its name and rebuilds the boot menu. The slot appears whole and on the
// disk, or not at all. A failed step ends the run with its message and
// leaves the slot free; the image file stays unless the installation
// succeeded. Refuses with "could not mount cramfs" when /tmp/image is no
// directory of its own; refuses a store that cannot be written and an image
// file that is none or is incomplete before anything is mounted or written,
// and refuses with storeBusy() while another action holds the store's lock,
// which it holds itself for its whole run.
Outcome installImage(const InstallRequest& request);
