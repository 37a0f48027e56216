#include "install/checkedimage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/context.h"
#include "store/durable.h"

namespace {

// A second name for the open file FD. Without the capability to link a
// descriptor itself, through its entry in /proc.
bool linkDescriptor(int fd, const eString& path)
{
    if (linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0)
        return true;
    eString entry;
    entry.sprintf("/proc/self/fd/%d", fd);
    return linkat(AT_FDCWD, entry.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

} // namespace

eString checkedPath(const eString& nr)
{
    return mpoint + "/.checked-" + nr;
}

CheckedImage::CheckedImage(const eString& file, const eString& nr)
    : link(checkedPath(nr))
{
    struct stat st;
    opened = openRegularFile(mpoint + "/" + file, st);
    made = opened && removeTree(link) && linkDescriptor(opened.get(), link);
}

CheckedImage::~CheckedImage()
{
    unlinkNow();
}

void CheckedImage::unlinkNow()
{
    if (made)
        unlink(link.c_str());  // unchecked: the next installation removes it too
    made = false;
}

bool CheckedImage::linked() const
{
    return made;
}

const eString& CheckedImage::path() const
{
    return link;
}

bool CheckedImage::stillAt(const eString& file) const
{
    struct stat now, checked;
    return stat((mpoint + "/" + file).c_str(), &now) == 0 && fstat(opened.get(), &checked) == 0 &&
        now.st_dev == checked.st_dev && now.st_ino == checked.st_ino;
}
