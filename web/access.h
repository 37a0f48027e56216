#pragma once
#include <string>

struct Request;

// Who may use the page: the password of HTTP Basic, and for each changing
// request a token the page got from the server on the same site.

// The password in FILE, its first line. A missing FILE is created with a
// random password, mode 600; CREATED then tells so the caller prints it once.
// Throws, naming what to do, for a FILE that is no regular file (a FIFO
// would hold the server before it listens) or that others may read.
std::string loadPassword(const std::string& file, bool& created);

class Access {
public:
    // PASSWORD as read from FILE, which a wrong password's answer names.
    Access(std::string password, std::string file);
    const std::string& passwordFile() const;

    // REQUEST carries the password (any user name), compared in constant time.
    // A wrong password's answer is slowed (Response::slowed): one try a
    // second from an address at most.
    bool authorized(const Request& request) const;

    // The token of every page this server gave out: one for the server's
    // run, so no page's request, however many, can make another's invalid,
    // and nothing grows with requests. It guards against other sites, not
    // against those who know the password, who may get it anyway.
    std::string token() const;
    bool validToken(const std::string& token) const;

private:
    std::string password, file;
    const std::string sessionToken;
};

// REQUEST's Origin, or else its Referer, is the page's own site: the host
// the request went to.
bool sameOrigin(const Request& request);
