#include "web/httpsession.h"

#include <boost/asio/post.hpp>
#include <boost/beast/http/read.hpp>
#include <strings.h>

#include "fetch/url.h"
#include "store/controls.h"

namespace webnet {

using boost::system::error_code;
using std::chrono::seconds;

Session::Session(Shared& shared, tcp::socket socket, net::ip::address peer)
    : shared(shared), socket(std::move(socket)), peer(peer),
      deadline(shared.io), failureWait(shared.io)
{
    ++shared.connections[peer];
    ++shared.total;
}

Session::~Session()
{
    if (--shared.connections[peer] == 0)
        shared.connections.erase(peer);
    --shared.total;
}

void Session::start()
{
    readHeader();
}

// Arms the one deadline of what the connection waits for now: at WHEN the
// waiting ends (the socket's operations cancelled) and timedOut says so.
void Session::expireAt(Clock::time_point when)
{
    expired = false;
    unsigned id = ++armed;
    deadline.expires_at(when);
    std::weak_ptr<Session> weak = weak_from_this();
    deadline.async_wait([weak, id](const error_code& error) {
        auto self = weak.lock();
        if (error || !self || self->armed != id)
            return;
        self->expired = true;
        error_code ignored;
        self->socket.cancel(ignored);
    });
}

bool Session::timedOut(const error_code& error)
{
    return error == net::error::operation_aborted && expired;
}

void Session::readHeader()
{
    parser.emplace();
    parser->header_limit(8 * 1024);
    parser->body_limit(std::numeric_limits<std::uint64_t>::max());  // the routes judge a body's length
    request = Request();
    response = Response();
    piece = std::vector<char>();  // a waiting connection holds no piece
    filled = 0;
    bodyDone = expects = false;
    remaining.reset();
    expireAt(Clock::now() + headerTime);
    auto self = shared_from_this();
    http::async_read_header(socket, buffer, *parser, [self](error_code error, size_t) { self->onHeader(error); });
}

void Session::onHeader(error_code error)
{
    if (error == http::error::header_limit)
        return refuse(431, "request headers larger than 8 kB");
    if (timedOut(error) && parser->got_some())
        return refuse(408, "request headers not sent within 10 s");
    if (error && parser->got_some() && error != net::error::connection_reset)
        return refuse(400, "malformed request");
    if (!error && takeRequest())
        route();
    // else the connection ends: nothing asked, or none to answer
}

bool Session::takeRequest()
{
    const auto& header = parser->get();
    request.method = std::string(header.method_string());
    std::string target(header.target());
    size_t query = target.find('?');
    request.path = percentDecoded(target.substr(0, query), false);
    for (size_t at = query; at != std::string::npos && at < target.size();) {
        size_t end = std::min(target.find('&', at + 1), target.size());
        std::string pair = target.substr(at + 1, end - at - 1);
        size_t equals = pair.find('=');
        request.query.emplace(percentDecoded(pair.substr(0, equals), true),
            equals == std::string::npos ? "" : percentDecoded(pair.substr(equals + 1), true));
        at = end;
    }
    for (const auto& field : header)
        request.headers.emplace(std::string(field.name_string()), std::string(field.value()));
    close = !header.keep_alive();
    expects = header.version() >= 11 && strcasecmp(request.header("Expect").c_str(), "100-continue") == 0;
    return true;
}

void Session::route()
{
    if (shared.routes.guard(request, response))
        return respond();
    const Routes::Route* found = shared.routes.find(request.method, request.path);
    if (!found)
        return refuse(404, "no such page: " + printable(request.path));
    auto length = parser->content_length();
    bodyDeadline = Clock::now() + idleTime + seconds(length ? *length / floorRate : 0);
    if (found->streamsBody) {
        if (length)
            remaining = *length;
        request.readBody = [this](const BodySink& sink) { return streamBody(sink); };
        return run(*found);
    }
    if (parser->is_done())
        return run(*found);
    if (length && *length > shared.routes.smallBody)
        return refuse(413, "request too large");
    auto self = shared_from_this();
    continued([self, found] {
        self->readPiece(self->shared.routes.smallBody + 1, Clock::now() + idleTime, [self, found](bool whole) {
            if (!whole)
                return self->refuse(self->request.bodyStatus, self->request.bodyStatus == 408 ?
                    "request body not sent within 10 s" : "request body incomplete");
            if (!self->bodyDone)
                return self->refuse(413, "request too large");
            self->request.body.assign(self->piece.data(), self->filled);
            self->run(*found);
        });
    });
}
void Session::run(const Routes::Route& route)
{
    auto self = shared_from_this();
    // Each worker's last hold on the session goes to the I/O thread: the
    // session ends there, where the connections are counted.
    net::post(shared.workers, [self, &route]() mutable {
        try {
            route.handler(self->request, self->response);
        } catch (const std::exception& error) {
            self->response = Response();
            self->shared.routes.refuse(self->response, 500, error.what());
        }
        self->request.readBody = nullptr;
        net::io_context& io = self->shared.io;
        net::post(io, [self = std::move(self)] { self->respond(); });
    });
}

void Session::refuse(int status, const std::string& text)
{
    response = Response();
    shared.routes.refuse(response, status, text);
    close = true;
    respond();
}

} // namespace webnet
