#include "manage/backup.h"

#include <chrono>
#include <memory>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "install/imagedigest.h"
#include "install/imagecheck.h"
#include "install/space.h"
#include "manage/backupfile.h"
#include "manage/backuptree.h"
#include "store/context.h"
#include "store/durable.h"
#include "store/lock.h"
#include "store/shell.h"
#include "store/slots.h"

namespace {

std::optional<Outcome> refuseSlot(int slot)
{
    switch (probeSlot(slot)) {
    case SlotState::Free:
        return Outcome::refused("slot " + slotText(slot) + " is free");
    case SlotState::Corrupted:
        return Outcome::refused("slot " + slotText(slot) + " is corrupted");
    case SlotState::Installed:
        break;
    }
    return std::nullopt;
}

std::optional<Outcome> refuseMissingTool()
{
    const std::pair<const char*, const char*> tools[] = {
        {"mksquashfs", "squashfs-tools"}, {"mkfs.cramfs", "util-linux"}};
    for (const auto& [tool, package] : tools) {
        if (!runFormatted("command -v %s >/dev/null", eString(tool)))
            return Outcome::refused(eString("backup needs ") + tool + " (package " + package + ")");
    }
    return std::nullopt;
}

// A file in a slot, or in a slot's place in image/ (also through links or
// ".."), would change the slot, which a backup never does.
std::optional<Outcome> refuseInSlot(const BackupFile& file)
{
    eString dir = realPathOf(file.dir), images = realPathOf(imagesDir());
    for (int slot = 0; slot < slotCount; ++slot) {
        eString inside = realPathOf(slotDirPath(slot));
        bool within = !inside.empty() && (dir == inside || dir.compare(0, inside.size() + 1, inside + "/") == 0);
        if (within || (!images.empty() && dir == images && file.name == slotText(slot)))
            return Outcome::refused("a backup never goes into a slot: " + file.path + " (slot " + slotText(slot) + ")");
    }
    return std::nullopt;
}

// Refuses a name too long for the directory with ".sha256" after it.
std::optional<Outcome> refuseLongName(const BackupFile& file)
{
    long most = pathconf(file.dir.c_str(), _PC_NAME_MAX);
    long room = (most > 0 ? most : 255) - static_cast<long>(sizeof ".sha256" - 1);
    if (static_cast<long>(file.name.size()) <= room)
        return std::nullopt;
    return Outcome::refused(eString().sprintf("file name too long: %zu characters, at most %ld here",
        file.name.size(), room));
}

// Refuses what stands at the file's names, unless it may be replaced, and
// a slot larger than the room where the file goes: the squashfs part is
// never larger than the slot's tree, the head never larger than its place.
std::optional<Outcome> refuseTarget(const BackupFile& file, bool force, int slot)
{
    struct stat st;
    for (const char* suffix : {"", ".md5", ".sha256"}) {
        eString path = file.path + suffix;
        if (lstat(path.c_str(), &st) == 0 && (!force || S_ISDIR(st.st_mode)))
            return Outcome::refused("file exists: " + path);
    }
    if (lstat(file.dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return Outcome::refused("no directory " + file.dir);
    std::optional<Outcome> refused = refuseLongName(file);
    if (!refused)
        refused = refuseInSlot(file);
    if (refused)
        return refused;
    long long needed = treeNeeds(slotDir(slotText(slot)), 1024).kilobytes + squashfsOffset / 1024;
    if (needed <= freeKilobytes(file.dir))
        return std::nullopt;
    Outcome full = noSpace(needed);
    full.detail.sprintf("%lld kB free in %s", freeKilobytes(file.dir), file.dir.c_str());
    return full;
}

// The tick of a running mksquashfs: its share is what it has read of the
// tree's TOTAL bytes (its own progress bar comes only on a terminal).
std::function<void()> packTick(const eString& pidFile, long long total, const ProgressShown& shown)
{
    auto start = std::chrono::steady_clock::now();
    auto estimate = std::make_shared<ProgressEstimate>(total);
    auto last = std::make_shared<eString>();
    return [=] {
        std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
        eString text = estimate->update(bytesRead(pidFile), seconds.count());
        if (shown && text != *last)
            shown(*last = text);
    };
}

// The squashfs of the tree ROOT at its place in the partial file, with the
// tick's progress; stopped when the request is cancelled.
CommandEnd packSquashfs(const eString& root, const BackupFile& file, const BackupRequest& request)
{
    eString pidFile = file.scratch + "/mksquashfs.pid";
    CommandOptions options;
    options.tick = packTick(pidFile, treeNeeds(root, 1024).kilobytes * 1024, request.progress);
    options.stop = request.cancelled;
    // gzip and no extended attributes: what the box's kernel mounts. A small
    // cache, as the box has little memory; it also keeps the reading, which
    // the share counts, close to the packing.
    eString pack = formatLine("echo $$ >%s && exec mksquashfs %s %s -o %lld -noappend -comp gzip -no-xattrs -mem 16M "
                              "-quiet -no-progress >/dev/null 2>%s",
        pidFile, root, file.partial, static_cast<long long>(squashfsOffset), file.scratch + "/mksquashfs.err");
    return runWatched(formatLine("sh -c %s", pack), options);
}

// The last line FILE holds, as mksquashfs's reason for failing.
eString lastLine(const eString& file)
{
    std::string text;
    unsigned mode = 0;
    if (!readWholeFile(file, text, mode, 1 << 16))
        return "";
    text.erase(text.find_last_not_of('\n') + 1);
    return text.substr(text.rfind('\n') + 1);
}

// Packs the slot, puts the head in front, digests the whole; the partial
// files are made durable and renamed into place.
Outcome writeBackup(BackupFile& file, const BackupRequest& request, BackupResult& result)
{
    eString root = file.scratch + "/root", mount = mountPointInSlot(request.slot);
    // Hard links cannot reach across it.
    if (!mount.empty())
        return Outcome::failed("could not read slot: mount point " + mount + " in it");
    if (!linkSlotTree(request.slot, root) || !undoInstallation(root))
        return Outcome::failed("could not read slot");
    CommandEnd packed = packSquashfs(root, file, request);
    if (packed == CommandEnd::Stopped)
        return Outcome::failed("backup cancelled");
    if (packed != CommandEnd::Succeeded) {
        Outcome failure = Outcome::failed("could not make squashfs");
        failure.detail = lastLine(file.scratch + "/mksquashfs.err");
        return failure;
    }
    if (!writeHead(file, slotName(request.slot)))
        return Outcome::failed("could not make cramfs head");
    // Unchecked, as at the end: gone before the barriers that publish the
    // file, which make its removal durable with them in the store.
    removeTree(file.scratch);
    if (request.progress)
        request.progress("");
    auto digests = digestsOf(file.partial, {DigestKind::Md5, DigestKind::Sha256}, request.progress);
    if (!digests)
        return Outcome::failed("could not write backup");
    result.md5 = (*digests)[0], result.sha256 = (*digests)[1];
    struct stat st;
    result.bytes = stat(file.partial.c_str(), &st) == 0 ? st.st_size : 0;
    result.beyondOldCut = result.bytes - squashfsOffset > squashfsCutLimit;
    if (!publish(file, result.md5, result.sha256))
        return Outcome::failed("could not write backup");
    return Outcome::done("backed up slot " + slotText(request.slot) + " (" + slotName(request.slot) + ") to " + file.path);
}

} // namespace

eString backupName(const eString& name, time_t now)
{
    eString safe = name.empty() ? eString("Image") : name;
    for (char& c : safe) {
        if (!isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-')
            c = '_';
    }
    char stamp[32];
    struct tm local;
    strftime(stamp, sizeof stamp, "-%Y%m%d-%H%M.img", localtime_r(&now, &local));
    return safe + stamp;
}

BackupResult backupSlot(const BackupRequest& request)
{
    BackupResult result;
    StoreLock lock(mpoint, 0, "backup");
    if (lock.busy()) {
        result.outcome = storeBusy();
        return result;
    }
    removeBackupLeftovers();
    std::optional<Outcome> refused = refuseSlot(request.slot);
    if (!refused)
        refused = refuseMissingTool();
    eString path = request.file;
    if (path.empty())
        path = mpoint + "/" + backupName(slotName(request.slot), time(nullptr));
    BackupFile file(request.slot, path);
    result.file = file.path;
    if (!refused)
        refused = refuseTarget(file, request.force, request.slot);
    result.outcome = refused ? *refused : writeBackup(file, request, result);
    return result;
}
