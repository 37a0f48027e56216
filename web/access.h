#pragma once
#include <deque>
#include <mutex>
#include <string>

namespace httplib {
struct Request;
}

// Who may use the page: the password of HTTP Basic, and for each changing
// request a token the page got from the server on the same site.

// The password in FILE, its first line. A missing FILE is created with a
// random password, mode 600; CREATED then tells so the caller prints it once.
std::string loadPassword(const std::string& file, bool& created);

class Access {
public:
    explicit Access(std::string password);

    // REQUEST carries the password (any user name), compared in constant time.
    bool authorized(const httplib::Request& request) const;
    // A wrong password is answered only after this wait, one at a time, so
    // guessing goes at one try a second at most.
    void slowDown();

    // A fresh token for a page; the latest few stay valid.
    std::string newToken();
    bool validToken(const std::string& token) const;

private:
    std::string password;
    std::mutex failures;
    mutable std::mutex tokensMutex;
    std::deque<std::string> tokens;
};

// REQUEST's Origin, or else its Referer, is the page's own site: the host
// the request went to.
bool sameOrigin(const httplib::Request& request);
