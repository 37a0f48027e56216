#pragma once
#include <functional>
#include <string>

#include "install/copyprogress.h"
#include "store/outcome.h"

// nimbrel fetch: an image file from an http server into the store, under
// the store's lock, named only once it is whole and has passed the checks
// an installation makes before mounting and those of the server's
// checksum files. A fetch that stops goes on at the next one of the same
// URL (see fetch/partial.h).
struct FetchRequest {
    std::string url;  // http://[user:password@]host[:port]/path
    std::string name;  // empty: from the server or the URL's last part
    // How far it has come; may be empty.
    ProgressShown progress;
    // Asked between the pieces and, five times a second, while it waits on
    // the server: true stops it, the partial file kept. May be empty.
    std::function<bool()> cancelled;
};

struct Fetched {
    Outcome outcome;
    std::string name;  // the file's name in the store once done
};

Fetched fetchImage(const FetchRequest& request);
