#pragma once
#include <optional>

#include "install/installrequest.h"
#include "store/outcome.h"

// The refusal to show instead of installing: too little space, or nothing
// to install or nowhere to put it. Empty when the installation may run.
std::optional<Outcome> refusal(const InstallRequest& request);

// Unpacks the image file into the slot, makes the slot startable, records
// its name and rebuilds the boot menu. The slot appears whole or not at all,
// and is on the disk before a success is reported. A failed step ends the
// run with its message and leaves the slot free; only those after the
// slot's rename leave it installed: the sync of image/ ("could not sync
// image directory") and the boot menu (bootMenuFailure()). The image file
// goes as request.fileAfter says, with FILE.md5 and FILE.sha256, once its
// slot is on the disk, and stays otherwise; a backup's always stays. Fails with
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
