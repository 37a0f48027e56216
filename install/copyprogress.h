#pragma once
#include <functional>

#include "host/estring.h"
#include "install/space.h"

// Where an installation tells how far its long step has come, with a text
// such as "37 % (0:52 left)" that goes after the request to wait. May be
// empty: then nobody is told.
using ProgressShown = std::function<void(const eString&)>;

// The share done and the time left of a step that writes a known amount.
class ProgressEstimate {
public:
    explicit ProgressEstimate(long long total);

    // The text after WRITTEN of the total in SECONDS since the start: the
    // share in whole percent, never below an earlier one nor above 100, and
    // the time left at the rate so far, left out until a second has passed
    // with something written.
    eString update(long long written, double seconds);

private:
    long long total;
    long long written = 0;
};

// A tick for runPolled that shows through SHOWN, whenever it changed, how
// far a step has come: TOTAL gives what it writes in all, asked at the first
// tick only (a short step costs nothing), WRITTEN what it has written so far.
std::function<void()> progressTick(std::function<long long()> total, std::function<long long()> written,
    const ProgressShown& shown);

// The tick for the copy of the tree mounted on /tmp/image into SCRATCH: the
// share is that of the kB the space check measured, TREE, found in SCRATCH
// (counted alike), which holds only what the copy wrote.
std::function<void()> copyTick(const eString& scratch, const MountedTree& tree, const ProgressShown& shown);
