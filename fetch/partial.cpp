#include "fetch/partial.h"

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <unistd.h>

#include "store/context.h"
#include "store/durable.h"

namespace {

const char recordHead[] = "nimbrel fetch record 1";

} // namespace

std::string fetchKey(const std::string& url)
{
    // FNV-1a: a name, not a secret.
    uint64_t hash = 1469598103934665603ULL;
    for (unsigned char c : url)
        hash = (hash ^ c) * 1099511628211ULL;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return hex;
}

eString partialPath(const std::string& key, const char* suffix)
{
    return mpoint + "/.fetch-" + key + suffix;
}

std::optional<PartialRecord> readRecord(const std::string& key)
{
    std::string text;
    unsigned mode = 0;
    if (!readWholeFile(partialPath(key, ".record"), text, mode, 8192))
        return std::nullopt;
    std::istringstream lines(text);
    std::string head, url, validator, have;
    if (!std::getline(lines, head) || head != recordHead || !std::getline(lines, url) || !std::getline(lines, validator) ||
        !std::getline(lines, have) || have.empty() || have.size() > 18 ||
        have.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return PartialRecord{url, validator, std::stoll(have)};
}

bool writeRecord(const std::string& key, const PartialRecord& record)
{
    eString path = partialPath(key, ".record");
    eString fresh = path + ".new";
    Descriptor fd = createFresh(fresh);
    std::string text = std::string(recordHead) + "\n" + record.url + "\n" + record.validator + "\n" +
        std::to_string(record.have) + "\n";
    // The record reaches the disk before its rename, and the rename before
    // the fetch goes on: after a power cut the old record or this one is
    // there, whole.
    bool written = fd && writeAll(fd.get(), text) && fsync(fd.get()) == 0 && fd.close() &&
        rename(fresh.c_str(), path.c_str()) == 0 && syncDirectory(mpoint);
    if (!written)
        unlink(fresh.c_str());
    return written;
}

void removePartial(const std::string& key)
{
    for (const char* suffix : {"", ".record", ".record.new", ".md5", ".sha256"})
        unlink(partialPath(key, suffix).c_str());
}
