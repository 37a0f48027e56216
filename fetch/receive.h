#pragma once
#include <functional>
#include <string>

#include "fetch/connection.h"
#include "fetch/partial.h"
#include "install/copyprogress.h"

// The body of an answer into the partial file, as it comes, in large
// pieces; bounded by its length, the 2 GB of an image file and the
// store's floor of free space.
struct Receiving {
    int fd = -1;  // the partial file, at its end
    std::string key;
    PartialRecord record;  // have: the bytes before this body
    long long length = -1;  // the body's, -1 when the server did not say
    ProgressShown progress;
    std::function<bool()> cancelled;
};

enum class Received {
    Whole,  // the body ended where its length said, or with the connection
    Kept,  // stopped, the partial file kept for the next fetch
    Spoilt,  // stopped, the partial file of no use
};

struct ReceiveResult {
    Received how;
    std::string fault;  // unless whole
    long long total = 0;  // bytes in the partial file
};

ReceiveResult receiveBody(Connection& connection, Receiving& receiving);

// "37 % at 12.3 MB/s (0:52 left)", or "12.0 MB at 3.4 MB/s" without a
// length: HAVE bytes of TOTAL (-1 unknown), BYTES of them in SECONDS.
std::string fetchProgress(long long have, long long total, long long bytes, double seconds);
