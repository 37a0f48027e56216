#pragma once
#include <optional>
#include <string>
#include <vector>

#include "host/estring.h"

// The checksum files that may lie beside an image file, as md5sum and
// sha256sum write them.

enum class DigestKind { Md5, Sha256 };

// A digest that a checksum file gives for an image file.
struct ExpectedDigest {
    DigestKind kind;
    eString hex;  // lower case
    eString source;  // the checksum file's name
};

// Whether NAME is that of a checksum file: it ends in ".md5" or ".sha256".
bool isChecksumName(const eString& name);

// The digest of KIND that TEXT, a checksum file's content, gives for the
// file FILE: from the line naming it ("HEX  FILE", "HEX *FILE" or the
// tagged "MD5 (FILE) = HEX"; a path before FILE is allowed), else from the
// first line that names no file (HEX alone). Empty when no line does.
std::optional<eString> digestFor(const std::string& text, DigestKind kind, const eString& file);

// What the checksum files beside FILE in DIR expect: FILE.md5, FILE.sha256
// and, for FILE ending in ".img", the same without that ending. Empty when
// one of them lies there but is no regular file, cannot be read, is longer
// than a checksum file can be or gives no digest for FILE; FAULT, when
// given, then names that file and what is wrong with it.
std::optional<std::vector<ExpectedDigest>> expectedDigests(const eString& dir, const eString& file,
    eString* fault = nullptr);
