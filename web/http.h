#pragma once
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "store/descriptor.h"

// What the routes see of HTTP: a request with its headers and, for a route
// that streams it, its body in large pieces; an answer of a status, headers
// and a text or a file. The transport (web/httpserver.h) does the rest.

// Header names compare without case, as HTTP has them.
struct NoCase {
    bool operator()(const std::string& a, const std::string& b) const;
};

// Takes each piece of a streamed body; false stops the reading.
using BodySink = std::function<bool(const char* data, size_t size)>;

struct Request {
    std::string method, path;  // the path without its query, decoded
    std::map<std::string, std::string> query;  // decoded
    std::map<std::string, std::string, NoCase> headers;
    std::string body;  // a small body, read whole before the route runs
    // A streaming route's body: hands every piece to the sink; true when the
    // whole body came. Else readBody sets bodyStatus to why not: 408 when
    // the client stalled, 400 when it ended the body early; 0 when the sink
    // stopped.
    std::function<bool(const BodySink&)> readBody;
    mutable int bodyStatus = 0;

    std::string header(const std::string& name) const;
    bool hasHeader(const std::string& name) const;
    std::string param(const std::string& name) const;
};

struct Response {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    // A download: FILE's first FILESIZE bytes instead of BODY.
    std::shared_ptr<Descriptor> file;
    long long fileSize = 0;
    // A wrong password: answered only after its address's delay.
    bool slowed = false;

    void setHeader(const std::string& name, const std::string& value);
    void setContent(std::string text, const std::string& type);
};

using Handler = std::function<void(const Request&, Response&)>;

// The routes by method and path, and what holds for every request.
struct Routes {
    struct Route {
        std::string method, path;
        Handler handler;
        bool streamsBody = false;  // else its body is read first, up to smallBody
    };
    std::vector<Route> table;
    // Runs before any body is read; true when it answered in RESPONSE.
    std::function<bool(const Request&, Response&)> guard;
    // The transport's own refusals (a malformed request, a timeout...).
    std::function<void(Response&, int status, const std::string& text)> refuse;
    // Headers every answer carries.
    std::vector<std::pair<std::string, std::string>> always;
    size_t smallBody = 64 * 1024;

    void add(std::string method, std::string path, Handler handler, bool streamsBody = false);
    const Route* find(const std::string& method, const std::string& path) const;
};
