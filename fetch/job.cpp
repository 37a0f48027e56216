#include "fetch/job.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/controls.h"
#include "store/durable.h"

namespace {

// A validator that would end the header line early (the server's, or a
// record changed on the disk) asks for the whole file instead.
std::string rangeHeaders(const PartialRecord& record)
{
    if (record.have == 0 || record.validator.empty() || hasControlCharacter(record.validator))
        return "";
    return "Range: bytes=" + std::to_string(record.have) + "-\r\nIf-Range: " + record.validator + "\r\n";
}

// The answer's body goes on from the partial file's end (206 from where it
// ends) or starts it afresh (200, a server that ignores ranges).
std::optional<Outcome> placeBody(FetchJob& job)
{
    const ServerAnswer& answer = job.got.answer;
    if (answer.status == 206) {
        std::string from = "bytes " + std::to_string(job.record.have) + "-";
        if (answer.contentRange.compare(0, from.size(), from) != 0)
            return Outcome::failed("the server sent another range than asked (" + answer.contentRange + ")");
    } else if (answer.status == 200) {
        job.record.have = 0;
    } else {
        return Outcome::failed("could not fetch " + job.shown + ": the server answered " + std::to_string(answer.status));
    }
    // If-Range compares strongly: a weak ETag cannot vouch for bytes.
    bool strong = !answer.etag.empty() && answer.etag.compare(0, 2, "W/") != 0;
    job.record.validator = strong ? answer.etag : answer.lastModified;
    if (answer.chunked)
        return Outcome::failed("the server sent its answer in chunks, which an HTTP/1.0 request never asks for");
    return std::nullopt;
}

} // namespace

bool openPartial(FetchJob& job)
{
    eString path = partialPath(job.key);
    std::optional<PartialRecord> record = readRecord(job.key);
    struct stat st;
    job.fd = record && record->url == job.record.url ? openRegularFile(path, st) : Descriptor();
    if (job.fd && record->have <= st.st_size && !record->validator.empty()) {
        // Read-only from openRegularFile: the same file again for writing.
        Descriptor writable(closeOnExec(open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)));
        struct stat again;
        if (writable && fstat(writable.get(), &again) == 0 && again.st_ino == st.st_ino &&
            ftruncate(writable.get(), record->have) == 0 && lseek(writable.get(), 0, SEEK_END) == record->have) {
            job.fd = std::move(writable);
            job.record = *record;
            return true;
        }
    }
    job.record.have = 0;
    job.record.validator.clear();
    job.fd = createFresh(path);
    return bool(job.fd);
}

std::optional<Outcome> ask(FetchJob& job, const std::function<bool()>& cancelled)
{
    std::optional<Outcome> fault = exchange(job.url, rangeHeaders(job.record), cancelled, job.got);
    if (!fault && job.got.answer.status == 416 && job.record.have > 0) {
        job.record.have = 0;
        fault = exchange(job.url, "", cancelled, job.got);
    }
    // The bytes a record vouches for stay for the next fetch, as they do
    // when the body is interrupted.
    if (fault && fault->message == fetchInterrupted && job.record.have > 0)
        fault->message = keptForNext(fault->message);
    if (fault)
        return fault;
    return placeBody(job);
}
