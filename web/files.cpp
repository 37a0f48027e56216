#include "web/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "install/imagefiles.h"
#include "install/procedure.h"
#include "install/slotpath.h"
#include "install/space.h"
#include "store/context.h"
#include "store/descriptor.h"
#include "store/durable.h"
#include "store/handles.h"
#include "store/lock.h"
#include "web/http.h"

namespace {

const std::string uploadPrefix = ".upload-";

// How much of an upload is written before its writeback is started: each
// start asks the disk once, and one for every 256 kB piece cost the
// writer more than it saved.
constexpr long long writebackEvery = 1 << 20;

// What a server killed mid-upload left: regular files of the name
// mkostemp gave ours, and only under the store's lock, which no running
// upload would let this one hold. Each may hold the blocks of a whole
// upload's length.
void removeUploadLeftovers()
{
    DirHandle dir = openDir(mpoint);
    while (const dirent* entry = dir ? readdir(dir.get()) : nullptr) {
        std::string name = entry->d_name, path = mpoint + "/" + name;
        struct stat st;
        if (name.size() == uploadPrefix.size() + 6 && name.compare(0, uploadPrefix.size(), uploadPrefix) == 0 &&
            lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            unlink(path.c_str());  // unchecked: the next upload tries again
    }
}

// Writes REQUEST's body into FD as it comes, in the transport's large
// pieces; false when the client went away or stalled or a write failed, or
// the body was not LENGTH bytes.
bool copyBody(const Request& request, int fd, long long length)
{
    long long received = 0, started = 0;
    bool whole = request.readBody([&](const char* data, size_t size) {
        received += static_cast<long long>(size);
        if (received > length || !writeAll(fd, data, size))
            return false;
        if (received - started >= writebackEvery) {
            startWriteback(fd, started, received - started);  // the disk works while the next pieces come
            started = received;
        }
        return true;
    });
    return whole && received == length;
}

std::optional<Outcome> refuseUpload(const std::string& name, long long length)
{
    std::string bad = badFileName(name);
    if (!bad.empty())
        return Outcome::refused(bad);
    if (length < 0)
        return Outcome::refused("upload without its length");
    if (length > uploadLimit)
        return Outcome::refused("file larger than " + std::to_string(uploadLimit >> 20) + " MB: " + name);
    if (entryExists(mpoint + "/" + name))
        return Outcome::refused("file already in the store: " + name);
    long long needed = (length + 1023) / 1024 + InstallRequest().minfree;
    if (freeKilobytes(mpoint) < needed)
        return noSpace(needed);
    return std::nullopt;
}

} // namespace

long long contentLength(const Request& request)
{
    std::string text = request.header("Content-Length");
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    return std::stoll(text);
}

Outcome receiveUpload(const std::string& name, const Request& request)
{
    long long length = contentLength(request);
    StoreLock lock(mpoint, 0, "upload");  // no installation measures the space meanwhile
    if (lock.busy())
        return storeBusy();
    removeUploadLeftovers();  // before the space is measured: they may hold much of it
    if (std::optional<Outcome> refused = refuseUpload(name, length))
        return *refused;
    std::string temporary = mpoint + "/" + uploadPrefix + "XXXXXX";  // no .img: never listed
    Descriptor fd(closeOnExec(mkostemp(temporary.data(), O_CLOEXEC)));
    if (!fd)
        return Outcome::failed("could not write " + name + ": " + std::strerror(errno));
    reserveBlocks(fd.get(), length);  // the pieces then find their blocks allocated
    // As a copy by FTP or cp would leave it, not mkstemp's 600.
    bool whole = copyBody(request, fd.get(), length) && fchmod(fd.get(), 0644) == 0 && fsync(fd.get()) == 0 &&
        fd.close();
    if (!whole || !publishFile(temporary, mpoint + "/" + name)) {
        unlink(temporary.c_str());
        return Outcome::failed(whole ? "could not store " + name : "upload incomplete: " + name);
    }
    syncDirectory(mpoint);
    return Outcome::done("uploaded " + name);
}

void sendFile(const std::string& name, Response& response)
{
    std::string bad = badFileName(name);
    // Without waiting: a FIFO would hold the worker until someone writes into it.
    auto fd = std::make_shared<Descriptor>(bad.empty() ?
            closeOnExec(open((mpoint + "/" + name).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)) :
            -1);
    struct stat st;
    bool there = *fd && fstat(fd->get(), &st) == 0;
    if (!there || !S_ISREG(st.st_mode)) {
        response.status = there ? 403 : 404;
        response.setContent(!bad.empty() ? bad : there ? "no plain file, not sent: " + name :
                                                         "no such file in the store: " + name, "text/plain");
        return;
    }
    std::string quoted = name;
    std::replace(quoted.begin(), quoted.end(), '"', '_');
    response.setHeader("Content-Type", "application/octet-stream");
    response.setHeader("Content-Disposition", "attachment; filename=\"" + quoted + "\"");
    response.file = fd;
    response.fileSize = st.st_size;
}
