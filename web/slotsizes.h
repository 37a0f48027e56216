#pragma once
#include <array>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <sys/types.h>
#include <thread>

#include "store/slots.h"

// The slots' sizes for the page's status, measured in a thread of their
// own: tools/du over slots of thousands of files takes a box seconds, and
// the page asks every few. The status answers at once with the size last
// measured for a slot's directory; one that is another directory since
// (erased, installed anew) has none until it is measured, which the
// asking starts, as it does for a size older than a minute.
class SlotSizes {
public:
    using Measure = std::function<std::optional<long long>(int slot)>;

    // MEASURE runs only in this object's thread, one slot at a time.
    explicit SlotSizes(Measure measure);
    ~SlotSizes();
    SlotSizes(const SlotSizes&) = delete;
    SlotSizes& operator=(const SlotSizes&) = delete;

    std::optional<long long> sizeOf(int slot);

private:
    using Clock = std::chrono::steady_clock;
    struct Measured {
        dev_t device;
        ino_t inode;
        std::optional<long long> kilobytes;
        Clock::time_point when;
    };

    void run();
    void measureAll();

    Measure measure;
    std::mutex mutex;
    std::condition_variable wake;
    std::array<std::optional<Measured>, slotCount> sizes;
    bool wanted = true, stopping = false;
    std::thread worker;  // last: it starts once the rest is there
};
