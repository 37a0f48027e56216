#include "fetch/exchange.h"

namespace {

bool redirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string credentialsFor(const Url& start, const Url& hop)
{
    if (hop.host != start.host || hop.port != start.port || hop.scheme != start.scheme)
        return "";
    std::string value = basicCredentials(start);
    return value.empty() ? "" : "Authorization: " + value + "\r\n";
}

} // namespace

std::optional<Outcome> refuseScheme(const Url& u, const std::string& shown)
{
    if (u.scheme == "https" && !NIMBREL_TLS)
        return Outcome::refused("https is not supported by this build: it has no TLS library (" + shown +
            "); fetch it over http, or copy it into the store");
    return std::nullopt;
}

std::optional<Outcome> exchange(const Url& start, const std::string& extra, const std::function<bool()>& cancelled,
    Exchange& out)
{
    out.url = start;
    FetchTimes times = fetchTimes();
    for (int hops = 0;; ++hops) {
        out.connection = std::make_unique<Connection>(times, cancelled);
        out.answer = ServerAnswer();
        std::string fault = out.connection->get(out.url, extra + credentialsFor(start, out.url), out.answer);
        if (!fault.empty())
            return Outcome::failed(fault);
        if (!redirect(out.answer.status))
            return std::nullopt;
        if (out.answer.location.empty())
            return Outcome::failed("redirect without a Location from " + out.url.host);
        if (hops == redirectLimit)
            return Outcome::failed("more than " + std::to_string(redirectLimit) + " redirects from " +
                shownUrl(plainUrl(start)));
        std::string next = shownUrl(resolveLocation(out.url, out.answer.location));
        std::optional<Url> parsed = parseUrl(next, fault);
        if (!parsed)
            return Outcome::refused("redirect to " + next + " refused: " + fault);
        if (std::optional<Outcome> refused = refuseScheme(*parsed, next))
            return Outcome::refused("redirect to " + next + " refused: " + refused->message);
        out.url = *parsed;
    }
}
