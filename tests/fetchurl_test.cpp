#include <gtest/gtest.h>

#include "fetch/receive.h"
#include "fetch/url.h"

namespace {

TEST(FetchUrl, TakesHttpWithHostPortAndPathOnly)
{
    const struct {
        std::string text;
        std::string fault;  // empty: taken, as HOST PORT TARGET
        std::string host;
        int port;
        std::string target;
    } cases[] = {
        {"http://box/a.img", "", "box", 80, "/a.img"},
        {"HTTP://10.0.0.2:8080/x/a.img?v=2#top", "", "10.0.0.2", 8080, "/x/a.img?v=2"},
        {"http://me:pw@host.example:1", "", "host.example", 1, "/"},
        {"https://h/a.img", "", "h", 443, "/a.img"},
        {"http://[::1]:65535/a.img", "", "::1", 65535, "/a.img"},
        {"http://h?q", "", "h", 80, "/?q"},
        {"ftp://h/a.img", "only http and https URLs, not ftp:", "", 0, ""},
        {"file:///etc/passwd", "only http and https URLs, not file:", "", 0, ""},
        {"h/a.img", "no http:// or https:// URL", "", 0, ""},
        {"http://h:0/a.img", "the URL's port must be 1..65535", "", 0, ""},
        {"http://h:65536/a.img", "the URL's port must be 1..65535", "", 0, ""},
        {"http://h:8x/a.img", "the URL's port must be 1..65535", "", 0, ""},
        {"http://h:/a.img", "the URL's port must be 1..65535", "", 0, ""},
        {"http:///a.img", "no valid host in the URL", "", 0, ""},
        {"http://h$t/a.img", "no valid host in the URL", "", 0, ""},
        {"http://[zz]/a.img", "malformed IPv6 address in the URL", "", 0, ""},
        {"http://h/a b.img", "URL with a space, control or non-ASCII character", "", 0, ""},
        {"http://h/a\r\nHost: x", "URL with a space, control or non-ASCII character", "", 0, ""},
        {"http://h/\xc3\xa4.img", "URL with a space, control or non-ASCII character", "", 0, ""},
    };
    for (const auto& c : cases) {
        std::string fault;
        std::optional<Url> u = parseUrl(c.text, fault);
        EXPECT_EQ(fault, c.fault) << c.text;
        ASSERT_EQ(bool(u), c.fault.empty()) << c.text;
        if (u) {
            EXPECT_EQ(u->host + " " + std::to_string(u->port) + " " + u->target,
                c.host + " " + std::to_string(c.port) + " " + c.target) << c.text;
        }
    }
}

TEST(FetchUrl, ShowsNoCredentials)
{
    const std::pair<std::string, std::string> cases[] = {
        {"http://me:secret@h/a.img", "http://h/a.img"},
        {"http://me:se@cret@h:81/a@b.img", "http://h:81/a@b.img"},
        {"http://h/a@b.img", "http://h/a@b.img"},
        {"http://h/a\x01.img", "http://h/a?.img"},
        {"me:pw@h/a.img", "h/a.img"},
    };
    for (const auto& [url, shown] : cases)
        EXPECT_EQ(shownUrl(url), shown) << url;
}

TEST(FetchUrl, NamesFromThePathOrTheServer)
{
    const std::pair<std::string, std::string> paths[] = {
        {"http://h/dir/a.img", "a.img"},
        {"http://h/dir/a%20b.img?x=/y.img", "a b.img"},
        {"http://h/dir/..%2Fevil.img", "../evil.img"},
        {"http://h/dir/", ""},
    };
    std::string fault;
    for (const auto& [url, name] : paths)
        EXPECT_EQ(nameFromUrl(*parseUrl(url, fault)), name) << url;
    const std::pair<std::string, std::string> dispositions[] = {
        {"attachment; filename=\"a b.img\"", "a b.img"},
        {"attachment; filename=a.img; size=3", "a.img"},
        {"attachment; filename=\"../x.img\"", "../x.img"},
        {"attachment; filename=\"open", ""},
        {"inline", ""},
    };
    for (const auto& [value, name] : dispositions)
        EXPECT_EQ(nameFromDisposition(value), name) << value;
}

TEST(FetchUrl, RedirectsResolveAgainstTheirBase)
{
    std::string fault;
    Url base = *parseUrl("http://me:pw@h:81/dir/a.img?x", fault);
    const std::pair<std::string, std::string> cases[] = {
        {"http://o/b.img", "http://o/b.img"},
        {"file:///etc/passwd", "file:///etc/passwd"},
        {"//o:82/b.img", "http://o:82/b.img"},
        {"/b.img", "http://h:81/b.img"},
        {"b.img", "http://h:81/dir/b.img"},
    };
    for (const auto& [location, resolved] : cases)
        EXPECT_EQ(resolveLocation(base, location), resolved) << location;
    EXPECT_EQ(basicCredentials(base), "Basic bWU6cHc=");
    EXPECT_EQ(basicCredentials(*parseUrl("http://a%3Ab:c@h/", fault)), "Basic YTpiOmM=");
    EXPECT_EQ(basicCredentials(*parseUrl("http://h/", fault)), "");
}

TEST(FetchUrl, ProgressTellsShareSpeedAndTimeLeft)
{
    const struct {
        long long have, total, bytes;
        double seconds;
        std::string text;
    } cases[] = {
        {0, 1000, 0, 0, "0 %"},
        {52428800, 104857600, 52428800, 5, "50 % at 10.0 MB/s (0:05 left)"},
        {104857600, 209715200, 10485760, 10, "50 % at 1.0 MB/s (1:40 left)"},
        {3145728, -1, 3145728, 2, "3.0 MB at 1.5 MB/s"},
        {3145728, -1, 3145728, 0.5, "3.0 MB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fetchProgress(c.have, c.total, c.bytes, c.seconds), c.text) << c.text;
}

} // namespace
