#include "install/imagedigest.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#if NIMBREL_GNULIB_DIGESTS
#include <gnulibdigests.h>
#else
#include "install/libcrypto.h"
#endif

#include "store/context.h"
#include "store/descriptor.h"
#include "store/durable.h"

namespace {

// Large reads keep the system calls' share small next to the hashing.
constexpr size_t readBytes = 1 << 20;
constexpr std::chrono::milliseconds tickEvery(500);

eString hexOf(const unsigned char* digest, size_t length)
{
    eString hex;
    for (size_t i = 0; i < length; ++i)
        hex += eString().sprintf("%02x", digest[i]);
    return hex;
}

#if NIMBREL_GNULIB_DIGESTS
// gnulib's digests, where the build found no libcrypto (the box's CPU):
// one context of each kind, the unused one left idle.
class Digest {
public:
    explicit Digest(DigestKind kind) : kind(kind)
    {
        if (kind == DigestKind::Md5)
            md5_init_ctx(&md5);
        else
            sha256_init_ctx(&sha256);
    }
    bool update(const unsigned char* data, size_t size)
    {
        if (kind == DigestKind::Md5)
            md5_process_bytes(data, size, &md5);
        else
            sha256_process_bytes(data, size, &sha256);
        return true;
    }
    eString hex()
    {
        unsigned char digest[SHA256_DIGEST_SIZE];
        size_t length = kind == DigestKind::Md5 ? MD5_DIGEST_SIZE : SHA256_DIGEST_SIZE;
        if (kind == DigestKind::Md5)
            md5_finish_ctx(&md5, digest);
        else
            sha256_finish_ctx(&sha256, digest);
        return hexOf(digest, length);
    }
    bool ready() const { return true; }

private:
    DigestKind kind;
    md5_ctx md5;
    sha256_ctx sha256;
};
#else
struct ContextFree {
    const LibCrypto* crypto;
    void operator()(EVP_MD_CTX* context) const { crypto->freeContext(context); }
};

class Digest {
public:
    explicit Digest(DigestKind kind) : crypto(libCrypto()), context(nullptr, ContextFree{crypto})
    {
        if (crypto)
            context.reset(crypto->newContext());
        const EVP_MD* algorithm = context ? (kind == DigestKind::Md5 ? crypto->md5() : crypto->sha256()) : nullptr;
        if (context && crypto->init(context.get(), algorithm, nullptr) != 1)
            context.reset();
    }
    bool update(const unsigned char* data, size_t size)
    {
        return crypto->update(context.get(), data, size) == 1;
    }
    eString hex()
    {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (crypto->finish(context.get(), digest, &length) != 1)
            return eString();
        return hexOf(digest, length);
    }
    bool ready() const { return context != nullptr; }

private:
    const LibCrypto* crypto;
    std::unique_ptr<EVP_MD_CTX, ContextFree> context;
};
#endif

// A digest for each of KINDS, ready for the data; fewer when one fails.
std::vector<Digest> started(const std::vector<DigestKind>& kinds)
{
    std::vector<Digest> digests;
    for (DigestKind kind : kinds) {
        Digest digest(kind);
        if (!digest.ready())
            break;
        digests.push_back(std::move(digest));
    }
    return digests;
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
#if !NIMBREL_GNULIB_DIGESTS
    if (hex.empty() && !libCrypto()) {
        refused.detail = eString("the digests' library ") + libCryptoName + " could not be loaded";
        return refused;
    }
#endif
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
    std::vector<Digest> digests = started(kinds);
    if (!file || digests.size() != kinds.size())
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
        for (Digest& digest : digests) {
            if (!digest.update(buffer.get(), got))
                return std::nullopt;
        }
        done += got;
        if (std::chrono::steady_clock::now() - ticked >= tickEvery) {
            tick();
            ticked = std::chrono::steady_clock::now();
        }
    }
    std::vector<eString> hexes;
    for (Digest& digest : digests)
        hexes.push_back(digest.hex());
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
