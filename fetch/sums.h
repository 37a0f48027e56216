#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fetch/url.h"
#include "install/checksumfile.h"
#include "install/copyprogress.h"
#include "store/outcome.h"

// The checksum files a server keeps beside an image, URL.md5 and
// URL.sha256: fetched, the image checked against them, and written beside
// it in the store as nimbrel backup writes its own.
struct ServerSum {
    DigestKind kind;
    const char* suffix;  // ".md5" or ".sha256"
    std::string text;
    std::string hex;  // the digest it gives, once checked
};

// Those of U's that the server has (404 or 410: none); fails on any other
// answer, a stall, one larger than a checksum file, or once CANCELLED (may
// be empty) says so.
std::optional<Outcome> fetchSums(const Url& u, const std::function<bool()>& cancelled, std::vector<ServerSum>& sums);

// Fails, naming the checksum file, when one gives no digest for NAME (nor
// for SERVED, the name on the server) or the file at PATH has another;
// PROGRESS is told how far the reading is. Each sum gets its hex.
std::optional<Outcome> checkSums(std::vector<ServerSum>& sums, const eString& path, const std::string& name,
    const std::string& served, const ProgressShown& progress);
