#include "store/lock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

StoreLock::StoreLock(const eString& path)
    : dir(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
{
    heldElsewhere = dir && flock(dir.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

bool StoreLock::busy() const
{
    return heldElsewhere;
}

Outcome storeBusy()
{
    return Outcome::refused("image store is busy");
}
