#pragma once
#include <functional>

#include "host/estring.h"
#include "install/copyprogress.h"
#include "store/outcome.h"

// A backup of an installed slot as an image file that the installation
// takes back: a cramfs head without bin, padded to the squashfs part's
// offset, then a squashfs of the slot as its image held it before it was
// installed (var as var_init again, rcS_org as rcS; go and the slot's own
// files left out), with FILE.md5 and FILE.sha256 beside it.

struct BackupRequest {
    int slot = 0;
    // Where the image file goes; empty for the store, as NAME-YYYYMMDD-HHMM.img.
    eString file;
    bool force = false;  // replace FILE and its checksum files
    ProgressShown progress;  // how far the squashfs, then the digests have come
    std::function<bool()> cancelled;  // asked at each tick; true stops and removes the partial file
};

struct BackupResult {
    Outcome outcome = Outcome::refused("");
    eString file;  // the image file written
    long long bytes = 0;
    eString md5, sha256;
    // Its squashfs part is longer than installers bound to the old cut take.
    bool beyondOldCut = false;
};

// The default file name of a backup of the slot named NAME at the local
// time NOW: NAME with what is no letter, digit, '.', '_' or '-' as '_'.
eString backupName(const eString& name, time_t now);

// Writes the backup under the store's lock; reads the slot, never changes
// it. Refuses before writing anything: a free or corrupted slot, a missing
// mksquashfs or mkfs.cramfs, FILE or its checksum files already there
// (unless force), too little room for the slot's size. The file is written
// beside its final name and renamed only once whole and on the disk, so a
// kill or a power cut leaves either no backup or a whole one.
BackupResult backupSlot(const BackupRequest& request);
