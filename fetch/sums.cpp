#include "fetch/sums.h"

#include "fetch/exchange.h"
#include "install/imagedigest.h"

namespace {

constexpr size_t sumLimit = 64 * 1024;

// U with SUFFIX after its path, before any query.
Url beside(Url u, const char* suffix)
{
    size_t query = u.target.find('?');
    u.target.insert(query == std::string::npos ? u.target.size() : query, suffix);
    return u;
}

std::optional<Outcome> readSmall(Connection& connection, const std::string& shown, std::string& text)
{
    char piece[4096];
    for (;;) {
        std::string fault;
        long count = connection.read(piece, sizeof piece, fault);
        if (count < 0)
            return Outcome::failed("could not fetch " + shown + ": " + fault);
        if (count == 0)
            return std::nullopt;
        text.append(piece, static_cast<size_t>(count));
        if (text.size() > sumLimit)
            return Outcome::failed(shown + " is larger than a checksum file");
    }
}

} // namespace

std::optional<Outcome> fetchSums(const Url& u, const std::function<bool()>& cancelled, std::vector<ServerSum>& sums)
{
    for (ServerSum sum : {ServerSum{DigestKind::Md5, ".md5", "", ""}, ServerSum{DigestKind::Sha256, ".sha256", "", ""}}) {
        Url at = beside(u, sum.suffix);
        std::string shown = shownUrl(plainUrl(at));
        Exchange got;
        if (std::optional<Outcome> fault = exchange(at, "", cancelled, got))
            return fault;
        int status = got.answer.status;
        if (status == 404 || status == 410)
            continue;
        if (status != 200)
            return Outcome::failed("could not fetch " + shown + ": the server answered " + std::to_string(status));
        if (std::optional<Outcome> fault = readSmall(*got.connection, shown, sum.text))
            return fault;
        sums.push_back(sum);
    }
    return std::nullopt;
}

std::optional<Outcome> checkSums(std::vector<ServerSum>& sums, const eString& path, const std::string& name,
    const std::string& served, const ProgressShown& progress)
{
    if (sums.empty())
        return std::nullopt;
    std::vector<DigestKind> kinds;
    std::vector<eString> expected;
    for (ServerSum& sum : sums) {
        std::optional<eString> hex = digestFor(sum.text, sum.kind, name);
        if (!hex && !served.empty())
            hex = digestFor(sum.text, sum.kind, served);
        if (!hex)
            return Outcome::failed("the server's " + name + sum.suffix + " gives no checksum for " + name +
                ": its file removed");
        kinds.push_back(sum.kind);
        expected.push_back(*hex);
        sum.hex = *hex;
    }
    std::optional<std::vector<eString>> found = digestsOf(path, kinds, progress);
    if (!found)
        return Outcome::failed("could not read the fetched " + name + " again");
    for (size_t i = 0; i < sums.size(); ++i) {
        if ((*found)[i] != expected[i])
            return Outcome::failed("image file is damaged: " + name + " differs from the server's " + name +
                sums[i].suffix + ": its file removed");
    }
    return std::nullopt;
}
