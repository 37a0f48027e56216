#pragma once
#include <optional>

#include "host/estring.h"
#include "install/copyprogress.h"
#include "install/installrequest.h"
#include "store/bootmenu.h"
#include "store/outcome.h"
#include "store/shell.h"

class CheckedImage;

// installImage's run, for its two files alone: procedure.cpp takes it up to
// the copy made startable, slotcommit.cpp the slot's commit and the boot
// menu's switch.

// The copy's failure, also for every later step that finds the copy unusable.
inline constexpr char copyFailed[] = "could not copy squashfs";
inline constexpr char cancelledText[] = "installation cancelled";
inline constexpr char installedText[] = "Image is installed";

// One run of the installation. The tree is copied and made startable in a
// scratch directory beside the slots, which no slot scan looks at, and
// becomes the slot with one rename once all of it is on the disk. Each
// stage returns the message of the step that failed, or null to go on.
class Installation {
public:
    explicit Installation(const InstallRequest& request);
    Outcome run();

private:
    const char* copyIntoScratch();
    const char* adaptScratch();
    const char* commitSlot();
    bool publish(const CheckedImage& image);
    std::optional<Outcome> refuseChecked(const CheckedImage& image, bool& partBehind);
    const char* unmountEnded();
    Outcome finish(const char* failure, const CheckedImage& image);
    Outcome withdraw(const Outcome& refusal);
    void tell(const char* progress) const;
    bool cancelled() const;
    bool removesFile() const;

    const InstallRequest& request;
    // Its commands share one shell: a shell's start costs about what a
    // small command does, and the installation runs five of them.
    CommandsInOneShell commands;
    eString scratchEntry;  // its name under image/
    eString scratch;
    eString cutFile;
    bool twoPart = false;
    bool backup = false;  // the head is a backup's (isBackupHead)
    bool cutMade = false;
    MountedTree tree;
    std::optional<MenuSwitch> menu;  // once the boot menu's head could be read
    bool headReady = false;  // tools/menu holds its head, or it waits beside
    const char* unsynced = nullptr;  // set when the slot's rename may not be on the disk
    std::optional<StartedCommand> unmounting;  // the copied tree's, once the copy is done
};
