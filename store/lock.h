#pragma once
#include "host/estring.h"
#include "store/descriptor.h"
#include "store/outcome.h"

// The image store's lock, held while one action changes the store: an
// exclusive flock on the store's top directory, so no file of its own is
// needed. The kernel lets go of it with the process, however that ends;
// the commands the action runs do not inherit it (but see
// SharedWithCommands).
class StoreLock {
public:
    // Takes the lock on directory PATH, trying again for up to WAIT_MS
    // milliseconds while another holds it. Once held, ACTION (unless null)
    // is recorded beside the lock with the front end, the time and the
    // process, for those that find the store busy meanwhile.
    explicit StoreLock(const eString& path, int waitMs = 0, const char* action = nullptr);

    // True when another action holds the lock. A store that cannot be
    // locked at all (no such directory, no locks there) is not busy: the
    // action goes on and reports what it meets.
    bool busy() const;
    int descriptor() const;

private:
    Descriptor dir;
    bool heldElsewhere = false;
};

// How long an action waits for the store's lock while another holds it,
// in milliseconds: 0 in the windows, which refuse at once; nimbrel's --wait.
extern int storeWaitMs;

// The refusal shown while another action holds the lock of the store at
// mpoint; its detail names that action as its holder recorded it.
Outcome storeBusy();
