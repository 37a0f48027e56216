#include "manage/backupfile.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "install/imagecheck.h"
#include "store/context.h"
#include "store/durable.h"
#include "store/shell.h"
#include "install/slotpath.h"
#include "store/slots.h"

namespace {

eString baseName(const eString& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : eString(path.substr(slash + 1));
}

eString dirName(const eString& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? eString("/") : eString(path.substr(0, slash));
}

} // namespace

BackupFile::BackupFile(int slot, const eString& path)
    : path(path), dir(dirName(path)), name(baseName(path)), partial(dir + "/.backup-" + slotText(slot) + ".part"),
      scratch(mpoint + "/.backup-" + slotText(slot))
{
}

BackupFile::~BackupFile()
{
    // Unchecked: a leftover is in the way of no later step (each makes its
    // files afresh). What publish() renamed no longer stands at these names.
    removeTree(scratch);
    for (const char* part : {"", ".md5", ".sha256"})
        removeTree(partial + part);
}

void removeBackupLeftovers()
{
    // Unchecked: what stays is in the way of no step.
    for (int slot = 0; slot < slotCount; ++slot) {
        eString left = mpoint + "/.backup-" + slotText(slot);
        for (const char* part : {"", ".part", ".part.md5", ".part.sha256"})
            removeTree(left + part);
    }
}

bool writeHead(const BackupFile& file, const eString& name)
{
    eString head = file.scratch + "/head", image = file.scratch + "/head.cramfs";
    std::string bytes;
    unsigned mode = 0;
    if (!makeDirectory(head, 0755) || !writeFreshFile(head + "/README", "backup of " + name + "\n", 0644) ||
        !runFormatted("mkfs.cramfs %s %s >/dev/null 2>&1", head, image) ||
        !readWholeFile(image, bytes, mode, squashfsOffset))
        return false;
    Descriptor out(closeOnExec(open(file.partial.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW)));
    return out && pwrite(out.get(), bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size()) &&
        out.close();
}

long long bytesRead(const eString& pidFile)
{
    std::string pid, io;
    unsigned mode = 0;
    if (!readWholeFile(pidFile, pid, mode, 32) || !readWholeFile("/proc/" + pid.substr(0, pid.find('\n')) + "/io", io,
            mode, 4096))
        return 0;
    size_t at = io.find("rchar: ");
    return at == std::string::npos ? 0 : std::atoll(io.c_str() + at + 7);
}

bool publish(BackupFile& file, const eString& md5, const eString& sha256)
{
    const char* const sums[] = {".md5", ".sha256"};
    if (!writeFreshFile(file.partial + sums[0], md5 + "  " + file.name + "\n", 0644) ||
        !writeFreshFile(file.partial + sums[1], sha256 + "  " + file.name + "\n", 0644))
        return false;
    // The three files' contents on the disk before any name leads to them:
    // a power cut then leaves only names with whole files behind them.
    if (!syncFileSystem(file.dir))
        return false;
    // A checksum file names the image file and fits one image only, so the
    // name FILE switches with none beside it: the old sums go, FILE becomes
    // the new image, the new sums come. Each state between is one backup
    // with its own sums, with a part of them, or with none.
    bool older = false;
    for (const char* sum : sums) {
        older = older || entryExists(file.path + sum);
        if (!removeTree(file.path + sum))
            return false;
    }
    // The old sums' removal on the disk before FILE is the new image (a file
    // system without a journal writes directory blocks in any order): else
    // a power cut could leave them beside it.
    if (older && !syncDirectory(file.dir))
        return false;
    if (std::rename(file.partial.c_str(), file.path.c_str()) != 0)
        return false;
    // FILE's new image on the disk before its sums are: else a power cut
    // could leave the new sums beside the old image, or beside no image.
    if (!syncDirectory(file.dir))
        return false;
    for (const char* sum : sums) {
        if (std::rename((file.partial + sum).c_str(), (file.path + sum).c_str()) != 0)
            return false;
    }
    // The renames on the disk before the success is said.
    return syncDirectory(file.dir);
}
