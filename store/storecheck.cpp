#include "store/storecheck.h"

#include <cerrno>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "store/context.h"
#include "store/slots.h"

namespace {

// False only for a directory that is there and cannot be written to.
bool writable(const eString& dir)
{
    struct statvfs info;
    if (statvfs(dir.c_str(), &info) == 0 && (info.f_flag & ST_RDONLY))
        return false;
    return access(dir.c_str(), W_OK) == 0 || (errno != EROFS && errno != EACCES && errno != EPERM);
}

bool isFile(const eString& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

std::optional<Outcome> refuseReadOnlyStore()
{
    const eString dirs[] = {mpoint, imagesDir(), mpoint + "/tools"};
    for (const eString& dir : dirs) {
        if (!writable(dir))
            return Outcome::refused("image store is read-only");
    }
    return std::nullopt;
}

std::optional<Outcome> refuseWithoutBootTools()
{
    const eString tools = mpoint + "/tools";
    if (isFile(tools + "/menu.org") && isFile(tools + "/go"))
        return std::nullopt;
    return Outcome::refused("no boot tools in " + tools);
}

std::optional<Outcome> refuseNoImageStore()
{
    struct stat st;
    if (lstat((mpoint + "/tools").c_str(), &st) == 0 || lstat(imagesDir().c_str(), &st) == 0)
        return std::nullopt;
    Outcome refused = Outcome::refused("no image store at " + mpoint);
    refused.detail = eString("it holds neither tools/ nor image/");
    return refused;
}
