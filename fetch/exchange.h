#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "fetch/connection.h"
#include "fetch/url.h"
#include "store/outcome.h"

// A GET that follows the server's redirects, at most five, and only to
// http: the answer that is no redirect, its body still to read.
struct Exchange {
    Url url;  // where the answer came from
    ServerAnswer answer;
    std::unique_ptr<Connection> connection;
};

inline constexpr int redirectLimit = 5;

// Sends EXTRA ("Name: value\r\n" each) with every request; START's
// credentials go to its own host and port alone. Fails naming the host
// and the limit it met, or fetchInterrupted once CANCELLED (may be empty)
// says so while it waits; refuses a redirect to another scheme naming it.
std::optional<Outcome> exchange(const Url& start, const std::string& extra, const std::function<bool()>& cancelled,
    Exchange& out);

// The refusal of https on a build without TLS (the box's).
std::optional<Outcome> refuseScheme(const Url& u, const std::string& shown);
