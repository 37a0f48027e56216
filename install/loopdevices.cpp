#include "install/loopdevices.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/descriptor.h"
#include "store/handles.h"

namespace {

// Whether NAME is PREFIX and then digits alone.
bool isLoopName(const char* name, const char* prefix)
{
    size_t skip = std::strlen(prefix);
    return std::strncmp(name, prefix, skip) == 0 && name[skip] &&
        std::strspn(name + skip, "0123456789") == std::strlen(name + skip);
}

using BoundDevice = std::function<void(int fd, uint64_t device, const loop_info64& status)>;

// Calls USE with each bound loop device, open, once: devfs names one both
// /dev/loop/N and /dev/loopN. Linux 2.6.18 has no /sys/block/loopN/loop/
// nor loop-control, so each device is asked itself; the open never waits.
void eachBound(const BoundDevice& use)
{
    std::vector<uint64_t> seen;
    for (const char* dir : {"/dev", "/dev/loop"}) {
        DirHandle entries = openDir(dir);
        const char* prefix = std::strcmp(dir, "/dev") == 0 ? "loop" : "";
        while (const dirent* entry = entries ? readdir(entries.get()) : nullptr) {
            if (!isLoopName(entry->d_name, prefix))
                continue;
            eString path = eString(dir) + "/" + entry->d_name;
            Descriptor device(closeOnExec(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)));
            struct stat st;
            loop_info64 status{};
            if (!device || fstat(device.get(), &st) != 0 || !S_ISBLK(st.st_mode) ||
                std::count(seen.begin(), seen.end(), st.st_rdev) != 0 ||
                ioctl(device.get(), LOOP_GET_STATUS64, &status) != 0)
                continue;
            seen.push_back(st.st_rdev);
            use(device.get(), st.st_rdev, status);
        }
    }
}

// An older kernel refuses a device that anything else holds open, even for
// a moment (a busybox mount looking for a free one): tried a few times.
void clear(int fd)
{
    for (int tries = 0; ioctl(fd, LOOP_CLR_FD, 0) != 0 && errno == EBUSY && tries < 5; ++tries)
        usleep(20000);
}

} // namespace

LoopRelease::LoopRelease(const eString& file)
{
    note(file);
}

void LoopRelease::note(const eString& file)
{
    struct stat st;
    if (stat(file.c_str(), &st) != 0)
        return;  // nothing to mount, nothing bound
    for (const Noted& noted : files)
        if (noted.device == st.st_dev && noted.inode == st.st_ino)
            return;
    Noted noted{st.st_dev, st.st_ino, {}};
    eachBound([&noted](int, uint64_t device, const loop_info64& status) {
        if (status.lo_device == noted.device && status.lo_inode == noted.inode)
            noted.spared.push_back(device);
    });
    files.push_back(noted);
}

LoopRelease::~LoopRelease()
{
    if (files.empty())
        return;
    eachBound([this](int fd, uint64_t device, const loop_info64& status) {
        for (const Noted& noted : files)
            if (status.lo_device == noted.device && status.lo_inode == noted.inode &&
                std::count(noted.spared.begin(), noted.spared.end(), device) == 0 &&
                !(status.lo_flags & LO_FLAGS_AUTOCLEAR))
                clear(fd);
    });
}
