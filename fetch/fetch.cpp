#include "fetch/fetch.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fetch/job.h"
#include "fetch/receive.h"
#include "fetch/sums.h"
#include "install/checksumfile.h"
#include "install/imagecheck.h"
#include "install/imagefiles.h"
#include "install/installrequest.h"
#include "install/slotpath.h"
#include "install/space.h"
#include "store/actionlog.h"
#include "store/context.h"
#include "store/durable.h"
#include "store/lock.h"

namespace {

std::optional<Outcome> refuseName(const std::string& name)
{
    std::string bad = badFileName(name);
    if (!bad.empty())
        return Outcome::refused(bad);
    if (isChecksumName(name))
        return Outcome::refused("no image file (a checksum file's name): " + name);
    for (const char* suffix : {"", ".md5", ".sha256"}) {
        if (!entryExists(mpoint + "/" + name + suffix))
            continue;
        Outcome refused = Outcome::refused("file already in the store: " + name + suffix);
        refused.detail = "give the fetch another name, or use or remove the one there";
        return refused;
    }
    return std::nullopt;
}

// The name the request gives, else the server's, else the URL's last part.
std::optional<Outcome> chooseName(FetchJob& job)
{
    job.name = job.request.name;
    if (job.name.empty())
        job.name = nameFromDisposition(job.got.answer.disposition);
    if (job.name.empty())
        job.name = nameFromUrl(job.url);
    return refuseName(job.name);
}

// Before a byte is written: the whole must stay under 2 GB and leave the
// installation's floor of free space.
std::optional<Outcome> refuseSize(const FetchJob& job)
{
    long long length = job.got.answer.length;
    if (length < 0)
        return std::nullopt;
    if (job.record.have + length > uploadLimit)
        return Outcome::refused("file larger than " + std::to_string(uploadLimit >> 20) + " MB: " + job.shown);
    long long needed = (length + 1023) / 1024 + InstallRequest().minfree;
    if (freeKilobytes(mpoint) < needed)
        return noSpace(needed);
    return std::nullopt;
}

std::optional<Outcome> receive(FetchJob& job)
{
    if (job.record.have == 0) {
        // The record of older bytes goes first: it must never vouch for new ones.
        unlink(partialPath(job.key, ".record").c_str());
        if (ftruncate(job.fd.get(), 0) != 0 || lseek(job.fd.get(), 0, SEEK_SET) != 0)
            return Outcome::failed(std::string("could not write the store: ") + std::strerror(errno));
    }
    Receiving receiving{job.fd.get(), job.key, job.record, job.got.answer.length, job.request.progress,
        job.request.cancelled};
    ReceiveResult result = receiveBody(*job.got.connection, receiving);
    if (result.how == Received::Whole)
        return std::nullopt;
    if (result.how == Received::Spoilt)
        removePartial(job.key);
    Outcome failed = Outcome::failed(result.fault);
    failed.detail = job.shown;
    return failed;
}

// The checks an installation makes before mounting, then the server's
// checksum files; the partial file reached the disk before.
std::optional<Outcome> check(FetchJob& job)
{
    if (fchmod(job.fd.get(), 0644) != 0 || fsync(job.fd.get()) != 0 || !job.fd.close())
        return Outcome::failed(std::string("could not write the store: ") + std::strerror(errno));
    bool partBehind = false;
    if (std::optional<Outcome> refused = refuseImage(partialPath(job.key), partBehind))
        return Outcome::failed(refused->message + ": " + job.name + " from " + job.shown + ", its file removed");
    if (std::optional<Outcome> fault = fetchSums(job.url, job.request.cancelled, job.sums))
        return fault;
    return checkSums(job.sums, partialPath(job.key), job.name, nameFromUrl(job.url), job.request.progress);
}

// The checksum files, then the image, each under its name without
// replacing a file; one barrier for all.
std::optional<Outcome> publish(FetchJob& job)
{
    std::vector<std::string> made;
    for (const ServerSum& sum : job.sums) {
        eString temporary = partialPath(job.key, sum.suffix);
        Descriptor fd = createFresh(temporary);
        // As md5sum and sha256sum write it, naming the file as it is stored.
        std::string line = sum.hex + "  " + job.name + "\n";
        bool written = fd && writeAll(fd.get(), line) && fchmod(fd.get(), 0644) == 0 && fsync(fd.get()) == 0 &&
            fd.close();
        std::string path = mpoint + "/" + job.name + sum.suffix;
        if (!written || !publishFile(temporary, path))
            return Outcome::failed("could not store " + job.name + sum.suffix);
        made.push_back(path);
    }
    if (!publishFile(partialPath(job.key), mpoint + "/" + job.name)) {
        for (const std::string& path : made)
            unlink(path.c_str());
        return Outcome::failed("could not store " + job.name);
    }
    unlink(partialPath(job.key, ".record").c_str());
    if (!syncDirectory(mpoint))
        return Outcome::failed("could not store " + job.name + ": the store's directory was not written");
    return std::nullopt;
}

Outcome doneLines(const FetchJob& job)
{
    std::string lines = "fetched " + job.name + " from " + job.shown;
    for (const ServerSum& sum : job.sums)
        lines += "\nchecked against " + job.name + sum.suffix + ", kept beside it";
    return Outcome::done(lines);
}

Outcome fetchLocked(FetchJob& job)
{
    if (!openPartial(job))
        return Outcome::failed("could not write " + std::string(partialPath(job.key)) + ": " + std::strerror(errno));
    if (std::optional<Outcome> fault = ask(job, job.request.cancelled))
        return *fault;
    if (std::optional<Outcome> refused = chooseName(job))
        return *refused;
    if (std::optional<Outcome> refused = refuseSize(job))
        return *refused;
    if (std::optional<Outcome> fault = receive(job))
        return *fault;
    std::optional<Outcome> fault = check(job);
    if (!fault)
        fault = publish(job);
    if (fault)
        removePartial(job.key);
    return fault ? *fault : doneLines(job);
}

} // namespace

Fetched fetchImage(const FetchRequest& request)
{
    FetchJob job{request, Url(), shownUrl(request.url), "", "", Descriptor(), PartialRecord(), Exchange(), {}};
    std::string fault;
    std::optional<Url> url = parseUrl(request.url, fault);
    if (!url)
        return {Outcome::refused(fault + ": " + job.shown), ""};
    if (std::optional<Outcome> refused = refuseScheme(*url, job.shown))
        return {*refused, ""};
    if (!request.name.empty()) {
        if (std::optional<Outcome> refused = refuseName(request.name))
            return {*refused, ""};
    }
    StoreLock lock(mpoint, storeWaitMs, "fetch");  // one fetch of a URL at a time; no installation measures meanwhile
    if (lock.busy())
        return {storeBusy(), ""};
    job.url = *url;
    job.record.url = plainUrl(*url);
    job.key = fetchKey(job.record.url);
    Outcome outcome = fetchLocked(job);
    // A partial file no record vouches for is of no use to the next fetch.
    if (outcome.kind != Outcome::Done && !readRecord(job.key))
        removePartial(job.key);
    logAction("fetch", "", outcome);
    return {outcome, outcome.kind == Outcome::Done ? job.name : ""};
}
