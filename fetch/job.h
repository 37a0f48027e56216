#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fetch/exchange.h"
#include "fetch/partial.h"
#include "fetch/sums.h"
#include "store/descriptor.h"

struct FetchRequest;

// One fetch's state: the URL, the partial file and what is known of it.
struct FetchJob {
    const FetchRequest& request;
    Url url;
    std::string shown, name, key;
    Descriptor fd;
    PartialRecord record;  // have: the bytes the partial file keeps
    Exchange got;
    std::vector<ServerSum> sums;
};

// The partial file of the URL, at the end of the bytes its record vouches
// for; a fresh one where there is none or it is of another URL. False
// when it cannot be opened.
bool openPartial(FetchJob& job);

// The answer to a GET of the URL, its body placed: from where the partial
// file ends (206), or from the start (200, a server that ignores ranges or
// a file that changed: the partial file then starts afresh). CANCELLED
// (may be empty) ends a wait on the server.
std::optional<Outcome> ask(FetchJob& job, const std::function<bool()>& cancelled);
