#include "store/lock.h"

#include <cerrno>
#include <climits>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/actionlog.h"
#include "store/context.h"
#include "store/durable.h"

namespace {

constexpr int retryMs = 100;
// Beside the lock, in the store's top directory; no ".img": never listed.
constexpr char holderName[] = ".nimbrel-lock";

// Writes who holds the lock through the locked directory itself, so a link
// put in the store's place meanwhile leads nowhere. Not durable, and
// unchecked: the record only explains a refusal, and a stale one (after a
// kill or a power cut) is replaced by the next holder.
void recordHolder(int dir, const char* action)
{
    char stamp[32];
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S UTC", gmtime_r(&now, &utc));
    eString line;
    line.sprintf("%s (%s) since %s, process %d\n", action, logFrontEnd, stamp, static_cast<int>(getpid()));
    Descriptor fd(closeOnExec(openat(dir, holderName, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644)));
    // Only a plain file of one name is ours to rewrite: a hard link there
    // would lead the write into a file of the user's.
    struct stat st;
    if (fd && fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1 && ftruncate(fd.get(), 0) == 0 &&
        write(fd.get(), line.data(), line.size()) == static_cast<ssize_t>(line.size()))
        fd.close();
}

} // namespace

int storeWaitMs = 0;

StoreLock::StoreLock(const eString& path, int waitMs, const char* action)
    : dir(closeOnExec(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)))
{
    for (int waited = 0;; waited += retryMs) {
        heldElsewhere = dir && flock(dir.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        if (!heldElsewhere || waited >= waitMs || waited > INT_MAX - retryMs)
            break;
        usleep(retryMs * 1000);
    }
    if (dir && !heldElsewhere && action)
        recordHolder(dir.get(), action);
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
    Outcome busy = Outcome::refused("image store is busy");
    std::string holder;
    unsigned mode = 0;
    // Read as any file of the store is: a FIFO or a huge file there is no record.
    if (readWholeFile(mpoint + "/" + holderName, holder, mode, 256) && !holder.empty() && holder.back() == '\n') {
        holder.pop_back();
        busy.detail = "held by " + holder + "; try again once it has ended";
    } else {
        busy.detail = "another action holds it; try again once it has ended";
    }
    return busy;
}
