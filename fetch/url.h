#pragma once
#include <optional>
#include <string>
#include <utility>

// The addresses nimbrel fetch takes and the redirects it follows, read
// strictly: whatever a person typed or a server sent is hostile.

struct Url {
    std::string scheme;  // "http" or "https", lower case
    std::string userInfo;  // "user:password" as given, percent-encoded
    std::string host;  // a name or an address; an IPv6 one without brackets
    int port = 80;
    std::string target;  // path and query, "/" at least
};

// TEXT as a URL of http or https with a host, a port 1..65535 and a path;
// empty, with FAULT saying why, for anything else: another scheme, a
// space or control character, a fragment-only or empty host.
std::optional<Url> parseUrl(const std::string& text, std::string& fault);

// TEXT with any user:password@ cut out, for the log and the screen; the
// rest as given but for control characters, which become '?'.
std::string shownUrl(const std::string& text);

// Where TEXT's user:password@ stands: its first character and its '@';
// both npos without one.
std::pair<size_t, size_t> userInfoAt(const std::string& text);

// Where a redirect's LOCATION leads from BASE: an absolute URL as it is,
// "//host/..." in BASE's scheme, "/path" on BASE's host, anything else
// beside BASE's last path segment.
std::string resolveLocation(const Url& base, const std::string& location);

// The URL of U without credentials, as a request may name it: what a
// fetch's partial file and record are keyed on.
std::string plainUrl(const Url& u);

// U's host as a Host header names it: an IPv6 address in brackets, the
// port only where it is not the scheme's own.
std::string hostPort(const Url& u);

// Whether HOST is an IPv4 or IPv6 address rather than a name.
bool isAddress(const std::string& host);

// TEXT with each %XX as its byte, and each '+' as a blank where PLUS (a
// query's form encoding); a '%' without two hex digits stays as it is.
std::string percentDecoded(const std::string& text, bool plus);

// The file name U's path ends in, percent-decoded; empty when it ends in '/'.
std::string nameFromUrl(const Url& u);

// The file name a Content-Disposition header VALUE gives (filename="x" or
// filename=x); empty without one.
std::string nameFromDisposition(const std::string& value);

// The Authorization header's value for U's user:password ("Basic ..."),
// empty without them.
std::string basicCredentials(const Url& u);
