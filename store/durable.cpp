#include "store/durable.h"

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {


bool syncOpened(const eString& path, int flags, int (*flush)(int))
{
    Descriptor fd(closeOnExec(open(path.c_str(), O_RDONLY | O_CLOEXEC | flags)));
    return fd && flush(fd.get()) == 0 && fd.close();
}

int syncWholeFileSystem(int fd)
{
    int done = syncfs(fd);
    if (done != 0 && errno == ENOSYS) {
        sync();
        done = 0;
    }
    return done;
}

} // namespace

bool removeTree(const eString& path)
{
    std::error_code error;
    std::filesystem::remove_all(path.c_str(), error);  // does not follow a link
    return !error;
}

Descriptor createFresh(const eString& path)
{
    if (!removeTree(path))
        return Descriptor();
    return Descriptor(closeOnExec(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644)));
}

bool writeFreshFile(const eString& path, const std::string& content, unsigned mode)
{
    Descriptor file = createFresh(path);
    bool written = file && writeAll(file.get(), content) && fchmod(file.get(), mode) == 0 && file.close();
    if (!written)
        unlink(path.c_str());  // the failure is reported; a part of the file is no use
    return written;
}

Descriptor openRegularFile(const eString& path, struct stat& st)
{
    Descriptor file(closeOnExec(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)));
    if (file && fstat(file.get(), &st) == 0 && S_ISREG(st.st_mode))
        return file;
    return Descriptor();
}

bool isReadableFile(const eString& path)
{
    struct stat st;
    return bool(openRegularFile(path, st));
}

bool readWholeFile(const eString& path, std::string& content, unsigned& mode, size_t limit)
{
    struct stat st;
    Descriptor file = openRegularFile(path, st);
    if (!file || static_cast<size_t>(st.st_size) > limit)
        return false;
    mode = st.st_mode & 07777;
    content.clear();
    char buffer[16384];
    ssize_t got;
    while ((got = ::read(file.get(), buffer, sizeof buffer)) > 0 && content.size() <= limit)
        content.append(buffer, got);
    return got == 0 && content.size() <= limit;
}

bool syncDirectory(const eString& path)
{
    return syncOpened(path, O_DIRECTORY, fsync);
}

bool syncFileSystem(const eString& path)
{
    return syncOpened(path, O_DIRECTORY, syncWholeFileSystem);
}

bool makeDirectory(const eString& path, unsigned mode)
{
    return mkdir(path.c_str(), mode) == 0 && chmod(path.c_str(), mode) == 0;
}

void startWriteback(int fd, long long offset, long long size)
{
    sync_file_range(fd, offset, size, SYNC_FILE_RANGE_WRITE);  // unchecked: a hint, as above
}

void reserveBlocks(int fd, long long size)
{
    fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size);  // unchecked: a hint, as above
}

eString realPathOf(const eString& path)
{
    std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
    return real ? eString(real.get()) : eString();
}
