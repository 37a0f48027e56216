#pragma once
#include <string>
#include <vector>

#include "host/estring.h"

// The image files of the store and the checksum files beside them, as
// every front end lists and removes them.

// Whether NAME, an entry of the store's top directory, is that of an image
// file: it holds ".img" and is no checksum file's (x.img.md5 is none even
// while x.img is gone).
bool isImageFileName(const eString& name);

// The checksum files that nimbrel backup writes beside the image file FILE
// of the store, FILE.md5 and FILE.sha256, those of them that lie there as
// plain files (a link or a FIFO of that name is nobody's checksum file).
std::vector<eString> checksumFilesBeside(const eString& file);

// Removes FILE of the store and its checksum files; true when every one
// went. The caller makes the removal durable.
bool unlinkWithChecksumFiles(const eString& file);

// The largest image file taken from a browser or a server, in bytes.
inline constexpr long long uploadLimit = 2LL << 30;

// Why NAME from a request or a server is not a name for an image file of
// the store (nor its .md5 or .sha256); empty when it is one.
std::string badFileName(const std::string& name);

// Gives the whole file TEMPORARY the name PATH without replacing a file of
// that name: link fails where one is there. False when it could not.
bool publishFile(const std::string& temporary, const std::string& path);
