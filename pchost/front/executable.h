#pragma once
#include <string>

namespace pchost {

// The directory of the running program, where nimbrel-host finds
// nimbrel.so, nimbrel-pixels.so and pchost-bin; "." when /proc does not
// say.
std::string executableDir();

} // namespace pchost
