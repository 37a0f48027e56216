#pragma once
#include <optional>
#include <vector>

#include "host/estring.h"
#include "store/outcome.h"

// Removing an image file of the store, or a checksum file, on purpose: what
// an installation keeps (a backup, any file from nimbrel or the page) goes
// only this way.

// A file of the store that may be removed, as a question about it showed it.
struct StoreFile {
    eString name;
    bool checksum = false;  // a checksum file rather than an image file
    long long bytes = 0;
    unsigned long long device = 0, inode = 0;
    std::vector<eString> sums;  // an image file's checksum files, which go with it
};

// NAME as the store lists it: a plain file of its top directory (no link,
// FIFO or directory) whose name holds ".img", an image file or a checksum
// file; no path, nothing with "..". Empty for anything else: slots,
// tools/, the log, the web page's password.
std::optional<StoreFile> storeFile(const eString& name);

// The refusal of NAME that storeFile does not take.
Outcome notRemovable(const eString& name);

// Removes NAME, an image file with its checksum files or a checksum file,
// under the store's lock (storeBusy() while another action holds it), on
// the disk before it reports success, logged as "remove". With EXPECTED,
// only while NAME is still that file ("NAME changed, not removed").
Outcome removeStoreFile(const eString& name, const std::optional<StoreFile>& expected = std::nullopt);
