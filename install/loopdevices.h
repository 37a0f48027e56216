#pragma once
#include <cstdint>
#include <vector>

#include "host/estring.h"

// The loop devices that one installation's loop mounts bind. A box's mount
// (busybox, kernels before 2.6.25) binds them without auto-clear, and
// umount leaves them bound: after as many installations as the box has
// devices, no loop mount would work until a reboot.
class LoopRelease {
public:
    // Notes FILE, as note does.
    explicit LoopRelease(const eString& file);
    // Frees every device bound to a noted file since it was noted that does
    // not clear itself; one still mounted stays bound (a later kernel frees
    // it at its unmount). One that another program binds to the file
    // meanwhile cannot be told from this run's.
    ~LoopRelease();
    LoopRelease(const LoopRelease&) = delete;
    LoopRelease& operator=(const LoopRelease&) = delete;

    // Before a loop mount of FILE: notes the devices bound to it now, another
    // program's, never freed. Noting a file again changes nothing: the
    // devices bound to it since are this run's.
    void note(const eString& file);

private:
    struct Noted {
        uint64_t device, inode;  // the file's
        std::vector<uint64_t> spared;  // the loop devices bound to it then
    };
    std::vector<Noted> files;
};
