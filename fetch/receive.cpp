#include "fetch/receive.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <unistd.h>

#include "install/imagefiles.h"
#include "install/installrequest.h"
#include "install/space.h"
#include "store/context.h"
#include "store/durable.h"

namespace {

using Clock = std::chrono::steady_clock;

// Large writes keep the system calls' share small; the socket gives what
// it holds at each read.
constexpr size_t bufferBytes = 1 << 20;
constexpr size_t writeAtLeast = 256 << 10;
constexpr long long spaceEvery = 4LL << 20;
constexpr std::chrono::seconds recordEvery(2);
constexpr std::chrono::milliseconds progressEvery(500);

std::string megabytes(double bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", bytes / 1048576);
    return text;
}

// The state of one body's reception.
struct Run {
    Connection& connection;
    Receiving& r;
    std::unique_ptr<char[]> buffer{new char[bufferBytes]};
    long long received = 0, checkedAt = 0;
    Clock::time_point start = Clock::now(), recorded = start, shown = start;

    long long total() const { return r.record.have + received; }

    // The bytes so far on the disk, then the record saying so: a record
    // never claims more than the disk holds.
    bool keep()
    {
        if (r.record.validator.empty() || fsync(r.fd) != 0)
            return false;
        PartialRecord now = r.record;
        now.have = total();
        recorded = Clock::now();
        return writeRecord(r.key, now);
    }

    ReceiveResult stop(Received how, const std::string& fault)
    {
        if (how == Received::Kept && !keep())
            how = Received::Spoilt;
        return {how, how == Received::Kept ? keptForNext(fault) : fault, total()};
    }

    void tell()
    {
        Clock::time_point now = Clock::now();
        if (!r.progress || now - shown < progressEvery)
            return;
        shown = now;
        double seconds = std::chrono::duration<double>(now - start).count();
        long long whole = r.length < 0 ? -1 : r.record.have + r.length;
        r.progress(fetchProgress(total(), whole, received, seconds));
    }

    // A full enough buffer to the disk, and the checks every so many bytes.
    std::optional<ReceiveResult> store(size_t filled)
    {
        if (!writeAll(r.fd, buffer.get(), filled))
            return stop(Received::Spoilt, std::string("could not write the store: ") + std::strerror(errno));
        // The disk works while the next piece comes.
        startWriteback(r.fd, total(), static_cast<long long>(filled));
        received += static_cast<long long>(filled);
        if (received - checkedAt >= spaceEvery) {
            checkedAt = received;
            int floor = InstallRequest().minfree;
            if (freeKilobytes(mpoint) < floor)
                return stop(Received::Spoilt, "the store's free space reached its floor of " + std::to_string(floor) +
                    " kB: fetch stopped, its file removed");
        }
        if (Clock::now() - recorded >= recordEvery)
            keep();
        tell();
        return std::nullopt;
    }
};

} // namespace

std::string fetchProgress(long long have, long long total, long long bytes, double seconds)
{
    double rate = seconds > 0 ? bytes / seconds : 0;
    std::string text = total < 0 ? megabytes(have) : std::to_string(total > 0 ? have * 100 / total : 100) + " %";
    if (seconds < 1 || rate <= 0)
        return text;
    text += " at " + megabytes(rate) + "/s";
    if (total >= 0) {
        long long left = static_cast<long long>((total - have) / rate + 0.5);
        char time[32];
        std::snprintf(time, sizeof time, " (%lld:%02lld left)", left / 60, left % 60);
        text += time;
    }
    return text;
}

ReceiveResult receiveBody(Connection& connection, Receiving& receiving)
{
    Run run{connection, receiving};
    for (;;) {
        size_t filled = 0;
        long count = 1;
        std::string fault;
        // From a slow server a piece goes after half a second however small:
        // the progress, a Ctrl-C and the record keep up at any speed.
        Clock::time_point pieceEnd = Clock::now() + progressEvery;
        while (filled < writeAtLeast && count > 0 && Clock::now() < pieceEnd) {
            count = connection.read(run.buffer.get() + filled, bufferBytes - filled, fault);
            filled += count > 0 ? static_cast<size_t>(count) : 0;
        }
        long long after = run.received + static_cast<long long>(filled);
        if (receiving.length >= 0 && after > receiving.length)
            return run.stop(Received::Spoilt, "the server sent more than the " + std::to_string(receiving.length) +
                " bytes it said: fetch stopped, its file removed");
        if (receiving.record.have + after > uploadLimit)
            return run.stop(Received::Spoilt, "the file is larger than " + std::to_string(uploadLimit >> 20) +
                " MB: fetch stopped, its file removed");
        if (std::optional<ReceiveResult> stopped = run.store(filled))
            return *stopped;
        if (receiving.cancelled && receiving.cancelled())
            return run.stop(Received::Kept, fetchInterrupted);
        if (count < 0)
            return run.stop(Received::Kept, "fetch incomplete: " + fault);
        if (count == 0 && receiving.length >= 0 && run.received < receiving.length)
            return run.stop(Received::Kept, "fetch incomplete: the server sent " + std::to_string(run.received) +
                " of " + std::to_string(receiving.length) + " bytes");
        if (count == 0)
            return {Received::Whole, "", run.total()};
    }
}
