#pragma once
#include <string>

#include "manage/backup.h"

struct BackupArguments {
    int slot = 0;
    std::string file;  // empty: into the store under the default name
    bool force = false;
};

struct BackupRun {
    BackupResult result;
    double seconds = 0;
};

// Backs up the slot with its progress on a terminal; Ctrl-C removes the
// partial file.
BackupRun backupCommand(const BackupArguments& arguments);

// What a done backup prints: its line (and a warning where older installers
// would cut its squashfs part short), or one JSON object with the file, its
// size, the digests and the seconds taken.
std::string backupLines(const BackupRun& run, bool json);
