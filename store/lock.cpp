#include "store/lock.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr int retryMs = 100;

} // namespace

int storeWaitMs = 0;

StoreLock::StoreLock(const eString& path, int waitMs)
    : dir(closeOnExec(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)))
{
    for (int waited = 0;; waited += retryMs) {
        heldElsewhere = dir && flock(dir.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        if (!heldElsewhere || waited >= waitMs || waited > INT_MAX - retryMs)
            break;
        usleep(retryMs * 1000);
    }
}

bool StoreLock::busy() const
{
    return heldElsewhere;
}

int StoreLock::descriptor() const
{
    return dir.get();
}

Outcome storeBusy()
{
    return Outcome::refused("image store is busy");
}
