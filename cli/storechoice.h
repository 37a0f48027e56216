#pragma once
#include <optional>
#include <string>

// The image store a command works on: DIR of --store, or else the first
// line of /tmp/org, as nimbrel-host takes it. Sets the store's path and
// the boot menu's colour for the procedures. Throws Refusal when there is
// no store, naming what is missing.
void chooseStore(const std::optional<std::string>& option);

// Where the kernel has no cramfs, puts the stand-in mount built beside the
// program (pchost-bin) first in PATH, as nimbrel-host does.
void useMountStandIn();
