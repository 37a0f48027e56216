#pragma once
#include <optional>

#include "host/estring.h"

// Where the box's start-up leaves the image store's mount point: the first
// line of /tmp/org.
constexpr char storeLineFile[] = "/tmp/org";

// That first line without its line end (LF or CR LF); empty when the file
// has no line, and no value when it does not open or is no regular file
// (read without waiting: a pipe there must not stop the front ends).
std::optional<eString> readStoreLine();
