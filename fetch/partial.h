#pragma once
#include <optional>
#include <string>

#include "host/estring.h"

// A fetch that stopped (a kill, a cut, a stall) leaves its bytes in the
// store under a name of its own, ".fetch-KEY", KEY a digest of the URL, and
// beside them a record, ".fetch-KEY.record", of what they are: the next
// fetch of the same URL goes on from there. Neither name holds ".img", so
// no listing takes them for image files.

struct PartialRecord {
    std::string url;  // plainUrl: never with credentials
    std::string validator;  // the server's ETag, else its Last-Modified
    long long have = 0;  // bytes of the partial file known to be on the disk
};

// The key of URL: 16 hex digits.
std::string fetchKey(const std::string& url);

// MPOINT/.fetch-KEY and its record; SUFFIX for a file written beside them.
eString partialPath(const std::string& key, const char* suffix = "");

// The record of KEY; empty when there is none or it is not one of ours.
std::optional<PartialRecord> readRecord(const std::string& key);

// Replaces KEY's record with RECORD, on the disk when it returns true. The
// partial file's bytes must be on the disk before (fsync): the record
// never claims more than a power cut keeps.
bool writeRecord(const std::string& key, const PartialRecord& record);

// Removes KEY's partial file, its record and what was written beside them.
void removePartial(const std::string& key);

// FAULT, telling that the next fetch of the same URL goes on from the
// bytes kept.
inline std::string keptForNext(const std::string& fault)
{
    return fault + "; run the same fetch again to go on";
}
