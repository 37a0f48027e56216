#pragma once
#include <string>
#include <vector>

#include "install/procedure.h"

// Image files and what an installation needs around them, under ns-run.

// Makes an image file at PATH with scripts/make-image and OPTIONS (such as
// "--two-part" or "--from DIR"); throws when that fails.
void makeImage(const std::string& path, const std::string& options = "");
void makeTree(const std::string& dir);  // make-image's root tree in DIR

// As nimbrel-host does: where the kernel has no cramfs, the build's
// pchost-bin (with the cramfs stand-in mount) goes first in PATH.
void useCramfsStandIn();
void prependPath(const std::string& dir);

extern const char flashSettings[];
void writeFlashSettings();  // the running system's /var/tuxbox/config/enigma/config holds flashSettings

// Everything under ROOTS but the paths under SKIP: type, mode, link target
// and content hash of each entry, a line each, sorted.
std::string fingerprint(const std::vector<std::string>& roots, const std::vector<std::string>& skip);

// The lines only BEFORE has ("- ...") and only AFTER has ("+ ...").
std::string changedLines(const std::string& before, const std::string& after);

// A request that passes the checks: image and slot listed, ample space.
InstallRequest installRequest(const std::string& file, const std::string& slot, const std::string& name = "");

bool isMountPoint(const std::string& dir);
