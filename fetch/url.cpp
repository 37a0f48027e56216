#include "fetch/url.h"

#include <algorithm>
#include <arpa/inet.h>
#include <boost/beast/core/detail/base64.hpp>
#include <cctype>

#include "store/controls.h"

namespace {

bool hostChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

// HOST[:PORT] or [IPV6][:PORT] into U; false with FAULT set otherwise.
bool parseHostPort(const std::string& text, Url& u, std::string& fault)
{
    size_t end = 0;
    if (!text.empty() && text[0] == '[') {
        end = text.find(']');
        if (end == std::string::npos || end == 1)
            return fault = "malformed IPv6 address in the URL", false;
        u.host = text.substr(1, end - 1);
        if (u.host.find_first_not_of("0123456789abcdefABCDEF:.") != std::string::npos)
            return fault = "malformed IPv6 address in the URL", false;
        ++end;
    } else {
        end = std::min(text.find(':'), text.size());
        u.host = text.substr(0, end);
        if (u.host.empty() || !std::all_of(u.host.begin(), u.host.end(), hostChar))
            return fault = "no valid host in the URL", false;
    }
    u.port = u.scheme == "https" ? 443 : 80;
    if (end == text.size())
        return true;
    std::string port = text.substr(end + 1);
    if (text[end] != ':' || port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
        std::stoi(port) < 1 || std::stoi(port) > 65535)
        return fault = "the URL's port must be 1..65535", false;
    u.port = std::stoi(port);
    return true;
}

} // namespace

std::optional<Url> parseUrl(const std::string& text, std::string& fault)
{
    for (unsigned char c : text) {
        if (c <= ' ' || c >= 0x7f)
            return fault = "URL with a space, control or non-ASCII character", std::nullopt;
    }
    size_t colon = text.find("://");
    Url u;
    u.scheme = colon == std::string::npos ? "" : text.substr(0, colon);
    std::transform(u.scheme.begin(), u.scheme.end(), u.scheme.begin(), [](unsigned char c) { return std::tolower(c); });
    if (u.scheme != "http" && u.scheme != "https") {
        fault = colon == std::string::npos ? "no http:// or https:// URL" : "only http and https URLs, not " + u.scheme + ":";
        return std::nullopt;
    }
    std::string rest = text.substr(colon + 3);
    size_t slash = std::min(rest.find_first_of("/?#"), rest.size());
    std::string authority = rest.substr(0, slash);
    size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        u.userInfo = authority.substr(0, at);
        authority.erase(0, at + 1);
    }
    if (!parseHostPort(authority, u, fault))
        return std::nullopt;
    u.target = rest.substr(slash);
    u.target.erase(std::min(u.target.find('#'), u.target.size()));
    if (u.target.empty() || u.target[0] != '/')
        u.target = "/" + u.target;
    return u;
}

std::pair<size_t, size_t> userInfoAt(const std::string& text)
{
    size_t start = text.find("://");
    start = start == std::string::npos ? 0 : start + 3;
    size_t end = std::min(text.find_first_of("/?#", start), text.size());
    size_t at = text.rfind('@', end == 0 ? 0 : end - 1);
    if (at != std::string::npos && at >= start && at < end)
        return {start, at};
    return {std::string::npos, std::string::npos};
}

std::string shownUrl(const std::string& text)
{
    std::string shown = text;
    auto [start, at] = userInfoAt(shown);
    if (at != std::string::npos)
        shown.erase(start, at + 1 - start);
    return printable(shown);
}

std::string hostPort(const Url& u)
{
    bool v6 = u.host.find(':') != std::string::npos;
    bool usual = u.port == (u.scheme == "https" ? 443 : 80);
    return (v6 ? "[" + u.host + "]" : u.host) + (usual ? "" : ":" + std::to_string(u.port));
}

std::string plainUrl(const Url& u)
{
    return u.scheme + "://" + hostPort(u) + u.target;
}

bool isAddress(const std::string& host)
{
    unsigned char address[16];
    return inet_pton(AF_INET, host.c_str(), address) == 1 || inet_pton(AF_INET6, host.c_str(), address) == 1;
}

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::string percentDecoded(const std::string& text, bool plus)
{
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        int high = i + 2 < text.size() && text[i] == '%' ? hexDigit(text[i + 1]) : -1;
        int low = high >= 0 ? hexDigit(text[i + 2]) : -1;
        if (low >= 0) {
            plain += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            plain += plus && text[i] == '+' ? ' ' : text[i];
        }
    }
    return plain;
}

std::string resolveLocation(const Url& base, const std::string& location)
{
    size_t colon = location.find(':');
    size_t slash = location.find('/');
    if (colon != std::string::npos && (slash == std::string::npos || colon < slash))
        return location;  // a scheme of its own, which parseUrl judges
    if (location.compare(0, 2, "//") == 0)
        return base.scheme + ":" + location;
    std::string root = plainUrl(Url{base.scheme, "", base.host, base.port, ""});
    if (!location.empty() && location[0] == '/')
        return root + location;
    std::string path = base.target.substr(0, base.target.find('?'));
    return root + path.substr(0, path.rfind('/') + 1) + location;
}

std::string nameFromUrl(const Url& u)
{
    std::string path = u.target.substr(0, u.target.find('?'));
    return percentDecoded(path.substr(path.rfind('/') + 1), false);
}

std::string nameFromDisposition(const std::string& value)
{
    size_t key = value.find("filename=");
    if (key == std::string::npos)
        return "";
    std::string rest = value.substr(key + 9);
    if (!rest.empty() && rest[0] == '"') {
        size_t end = rest.find('"', 1);
        return end == std::string::npos ? "" : rest.substr(1, end - 1);
    }
    rest.erase(std::min(rest.find(';'), rest.size()));
    rest.erase(rest.find_last_not_of(" \t") + 1);
    return rest;
}

std::string basicCredentials(const Url& u)
{
    if (u.userInfo.empty())
        return "";
    // Boost.Beast's encoder, whose decoder the page's server takes the password with.
    std::string plain = percentDecoded(u.userInfo, false);
    std::string coded(boost::beast::detail::base64::encoded_size(plain.size()), '\0');
    coded.resize(boost::beast::detail::base64::encode(coded.data(), plain.data(), plain.size()));
    return "Basic " + coded;
}
