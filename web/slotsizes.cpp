#include "web/slotsizes.h"

#include <sys/stat.h>

namespace {

constexpr std::chrono::seconds maxAge{60};

// The slot's directory by its identity; none where there is none.
std::optional<std::pair<dev_t, ino_t>> identity(int slot)
{
    struct stat st;
    if (lstat(slotDir(slotText(slot)).c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return std::nullopt;
    return std::make_pair(st.st_dev, st.st_ino);
}

} // namespace

SlotSizes::SlotSizes(Measure measure)
    : measure(std::move(measure))
    , worker(&SlotSizes::run, this)
{
}

SlotSizes::~SlotSizes()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_one();
    worker.join();  // a du under way ends within its time limit
}

std::optional<long long> SlotSizes::sizeOf(int slot)
{
    auto now = identity(slot);
    std::lock_guard<std::mutex> lock(mutex);
    const std::optional<Measured>& last = sizes[slot];
    bool same = now && last && last->device == now->first && last->inode == now->second;
    if (!same || Clock::now() - last->when > maxAge) {
        wanted = true;
        wake.notify_one();
    }
    return same ? last->kilobytes : std::nullopt;
}

void SlotSizes::run()
{
    std::unique_lock<std::mutex> lock(mutex);
    while (true) {
        wake.wait(lock, [this] { return wanted || stopping; });
        if (stopping)
            return;
        wanted = false;
        lock.unlock();
        measureAll();
        lock.lock();
    }
}

void SlotSizes::measureAll()
{
    for (int slot = 0; slot < slotCount; ++slot) {
        auto before = identity(slot);
        std::optional<long long> kilobytes = before ? measure(slot) : std::nullopt;
        std::lock_guard<std::mutex> lock(mutex);
        if (stopping)
            return;
        // A directory that changed while du ran gets measured again on the next asking.
        if (before && identity(slot) == before)
            sizes[slot] = Measured{before->first, before->second, kilobytes, Clock::now()};
    }
}
