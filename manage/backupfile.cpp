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
    : path(path), dir(dirName(path)), partial(dir + "/.backup-" + slotText(slot) + ".part"),
      scratch(mpoint + "/.backup-" + slotText(slot))
{
}

BackupFile::~BackupFile()
{
    // Unchecked: a leftover is in the way of no later step (each makes its files afresh).
    removeTree(scratch);
    if (!published) {
        for (const char* part : {"", ".md5", ".sha256"})
            removeTree(partial + part);
    }
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

bool linkSlotTree(int slot, const eString& root)
{
    eString scratch = dirName(root);
    return removeTree(scratch) && makeDirectory(scratch, 0700) &&
        runFormatted("cp -al %s %s", slotDir(slotText(slot)), root);
}

void undoInstallation(const eString& root)
{
    // Unchecked: an entry the slot lacks is one its image lacked too.
    if (access((root + "/var").c_str(), F_OK) == 0 && removeTree(root + "/var_init"))
        std::rename((root + "/var").c_str(), (root + "/var_init").c_str());
    eString scripts = root + "/etc/init.d";
    if (isRegularFile(scripts + "/rcS_org"))
        std::rename((scripts + "/rcS_org").c_str(), (scripts + "/rcS").c_str());
    for (const char* ours : {"go", "Image.info", "Image.details", "Image.info.new", "Image.details.new"})
        removeTree(root + "/" + ours);
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
    eString name = baseName(file.path);
    if (!writeFreshFile(file.partial + ".md5", md5 + "  " + name + "\n", 0644) ||
        !writeFreshFile(file.partial + ".sha256", sha256 + "  " + name + "\n", 0644))
        return false;
    // The three files' contents on the disk before any name leads to them:
    // a power cut then leaves only names with whole files behind them.
    if (!syncFileSystem(file.dir))
        return false;
    // The image file last: where it stands, its checksum files do too.
    for (const char* part : {".md5", ".sha256", ""}) {
        if (std::rename((file.partial + part).c_str(), (file.path + part).c_str()) != 0)
            return false;
        file.published = *part == '\0';
    }
    // The renames on the disk before the success is said.
    return syncDirectory(file.dir);
}
