#include "install/imagedigest.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <memory>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include "store/context.h"
#include "store/descriptor.h"
#include "store/durable.h"

namespace {

// Large reads keep the system calls' share small next to the hashing.
constexpr size_t readBytes = 1 << 20;
constexpr std::chrono::milliseconds tickEvery(500);

struct ContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using DigestContext = std::unique_ptr<EVP_MD_CTX, ContextFree>;

const EVP_MD* algorithm(DigestKind kind)
{
    return kind == DigestKind::Md5 ? EVP_md5() : EVP_sha256();
}

eString hexOf(EVP_MD_CTX* context)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    eString hex;
    if (EVP_DigestFinal_ex(context, digest, &length) != 1)
        return hex;
    for (unsigned int i = 0; i < length; ++i)
        hex += eString().sprintf("%02x", digest[i]);
    return hex;
}

// A context for each of KINDS, ready for the data; fewer when one fails.
std::vector<DigestContext> started(const std::vector<DigestKind>& kinds)
{
    std::vector<DigestContext> contexts;
    for (DigestKind kind : kinds) {
        DigestContext context(EVP_MD_CTX_new());
        if (!context || EVP_DigestInit_ex(context.get(), algorithm(kind), nullptr) != 1)
            break;
        contexts.push_back(std::move(context));
    }
    return contexts;
}

ProgressShown checking(const ProgressShown& progress)
{
    if (!progress)
        return progress;
    return [progress](const eString& share) { progress("checking image " + share); };
}

// Names the checksum file and both digests; HEX is empty when FILE could
// not be read to its end.
Outcome damaged(const ExpectedDigest& digest, const eString& hex)
{
    Outcome refused = Outcome::refused("image file is damaged");
    const char* kind = digest.kind == DigestKind::Md5 ? "md5" : "sha256";
    if (hex.empty())
        refused.detail = eString("it could not be read to its end");
    else
        refused.detail = eString("its ") + kind + " " + hex + " differs from " + digest.source + " (" + digest.hex + ")";
    return refused;
}

} // namespace

std::optional<std::vector<eString>> digestsOf(const eString& path, const std::vector<DigestKind>& kinds,
    const ProgressShown& progress)
{
    struct stat st;
    Descriptor file = openRegularFile(path, st);
    std::vector<DigestContext> contexts = started(kinds);
    if (!file || contexts.size() != kinds.size())
        return std::nullopt;
    posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);  // unchecked: only a hint
    long long done = 0;
    std::function<void()> tick = progressTick([&st] { return static_cast<long long>(st.st_size); },
        [&done] { return done; }, checking(progress));
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[readBytes]);
    auto ticked = std::chrono::steady_clock::now();
    tick();
    for (ssize_t got; (got = read(file.get(), buffer.get(), readBytes)) != 0;) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        for (DigestContext& context : contexts) {
            if (EVP_DigestUpdate(context.get(), buffer.get(), got) != 1)
                return std::nullopt;
        }
        done += got;
        if (std::chrono::steady_clock::now() - ticked >= tickEvery) {
            tick();
            ticked = std::chrono::steady_clock::now();
        }
    }
    std::vector<eString> hexes;
    for (DigestContext& context : contexts)
        hexes.push_back(hexOf(context.get()));
    return hexes;
}

std::optional<Outcome> refuseDamaged(const eString& file, const eString& content, const ProgressShown& progress)
{
    eString fault;
    std::optional<std::vector<ExpectedDigest>> expected = expectedDigests(mpoint, file, &fault);
    if (!expected) {
        Outcome refused = Outcome::refused("checksum file unreadable");
        refused.detail = fault;
        return refused;
    }
    if (expected->empty())
        return std::nullopt;
    std::vector<DigestKind> kinds;  // each once: both kinds come from one reading
    for (const ExpectedDigest& digest : *expected) {
        if (std::find(kinds.begin(), kinds.end(), digest.kind) == kinds.end())
            kinds.push_back(digest.kind);
    }
    std::optional<std::vector<eString>> computed = digestsOf(content, kinds, progress);
    for (const ExpectedDigest& digest : *expected) {
        size_t index = std::find(kinds.begin(), kinds.end(), digest.kind) - kinds.begin();
        if (!computed || (*computed)[index] != digest.hex)
            return damaged(digest, computed ? (*computed)[index] : eString());
    }
    return std::nullopt;
}
