#include "web/httpsession.h"

#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/status.hpp>
#include <future>
#include <iostream>
#include <strings.h>
#include <unistd.h>

#include "commands/refusal.h"

namespace webnet {

namespace {

using boost::system::error_code;
using std::chrono::seconds;

constexpr seconds headerTime{10}, idleTime{10}, writeTime{30}, lingerTime{5};
constexpr long long floorRate = 64 * 1024;  // bytes a second a body must keep up
constexpr seconds failureDelay{1};
constexpr size_t pieceSize = 256 * 1024;  // an upload goes to the disk in these

} // namespace

std::string wireHead(const Response& response, long long length, bool close)
{
    auto reason = http::obsolete_reason(http::int_to_status(static_cast<unsigned>(response.status)));
    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " + std::string(reason.data(), reason.size()) +
        "\r\n";
    bool said = false;
    for (const auto& [name, value] : response.headers) {
        head += name + ": " + value + "\r\n";
        said = said || strcasecmp(name.c_str(), "Connection") == 0;
    }
    head += "Content-Length: " + std::to_string(length) + "\r\n";
    if (close && !said)
        head += "Connection: close\r\n";
    return head + "\r\n";
}

Session::Session(Shared& shared, tcp::socket socket, net::ip::address peer)
    : shared(shared), socket(std::move(socket)), peer(peer),
      piece(std::max(pieceSize, shared.routes.smallBody + 1)), deadline(shared.io), failureWait(shared.io)
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

// Tells a client that waits for it to send its body.
void Session::continued(const std::function<void()>& then)
{
    if (!expects)
        return then();
    expects = false;
    static const char go[] = "HTTP/1.1 100 Continue\r\n\r\n";
    expireAt(Clock::now() + writeTime);
    auto self = shared_from_this();
    net::async_write(socket, net::buffer(go, sizeof go - 1), [self, then](error_code, size_t) { then(); });
}

// Reads the body into PIECE until SIZE bytes are there or the body ends;
// DONE(false) when the client stalls (a read's 10 s or UNTIL) or fails.
void Session::readPiece(size_t size, Clock::time_point until, Done done)
{
    if (parser->is_done()) {
        bodyDone = true;
        return done(true);
    }
    if (filled == size)
        return done(true);
    auto& body = parser->get().body();
    body.data = piece.data() + filled;
    body.size = size - filled;
    expireAt(std::min(Clock::now() + idleTime, until));
    auto self = shared_from_this();
    http::async_read_some(socket, buffer, *parser, [self, size, until, done](error_code error, size_t) {
        bool late = self->timedOut(error);
        if (error == http::error::need_buffer)
            error = {};
        self->filled = size - self->parser->get().body().size;
        if (!error)
            return self->readPiece(size, until, done);
        self->request.bodyStatus = late ? 408 : 400;
        done(false);
    });
}

// A body of a known length, straight from the socket into PIECE (what
// came with the headers first) until it is full or the body ends; the
// parser would copy it once more, in smaller reads.
void Session::readRaw(uint64_t left, Done done)
{
    size_t room = static_cast<size_t>(std::min<uint64_t>(piece.size() - filled, left));
    if (room == 0) {
        bodyDone = left == 0;
        return done(true);
    }
    if (buffer.size() > 0) {
        size_t taken = net::buffer_copy(net::buffer(piece.data() + filled, room), buffer.data());
        buffer.consume(taken);
        filled += taken;
        *remaining -= taken;
        return readRaw(*remaining, done);
    }
    expireAt(std::min(Clock::now() + idleTime, bodyDeadline));
    auto self = shared_from_this();
    socket.async_read_some(net::buffer(piece.data() + filled, room), [self, done](error_code error, size_t count) {
        bool late = self->timedOut(error);
        self->filled += count;
        *self->remaining -= count;
        if (!error)
            return self->readRaw(*self->remaining, done);
        self->request.bodyStatus = late ? 408 : 400;
        done(false);
    });
}

// On a worker: each piece read on the I/O thread, handed to SINK here.
bool Session::streamBody(const BodySink& sink)
{
    while (true) {
        auto got = std::make_shared<std::promise<bool>>();
        std::future<bool> future = got->get_future();
        net::post(shared.io, [self = shared_from_this(), got] {
            self->filled = 0;
            self->continued([self, got] {
                Done done = [got](bool whole) { got->set_value(whole); };
                self->remaining ? self->readRaw(*self->remaining, done) :
                                  self->readPiece(self->piece.size(), self->bodyDeadline, done);
            });
        });
        bool whole = future.get();
        if (filled > 0 && !sink(piece.data(), filled))
            return false;
        if (!whole || bodyDone)
            return whole;
    }
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

void Session::respond()
{
    if (!parser->is_done() && !bodyDone)
        close = true;  // a body left unread ends with the connection
    for (const auto& [name, value] : shared.routes.always)
        response.setHeader(name, value);
    std::cerr << "nimbrel: " << printable(request.method + " " + request.path) << " " << response.status << "\n";
    if (!response.slowed)
        return write();
    // One wrong password a second from each address, however many it tries
    // at once; the waiting costs a timer, not a worker.
    Clock::time_point now = Clock::now();
    Clock::time_point& next = shared.nextFailure[peer];
    next = std::max(now, next) + failureDelay;
    failureWait.expires_at(next);
    if (shared.nextFailure.size() > 1024) {
        for (auto it = shared.nextFailure.begin(); it != shared.nextFailure.end();)
            it = it->second < now ? shared.nextFailure.erase(it) : std::next(it);
    }
    auto self = shared_from_this();
    failureWait.async_wait([self](error_code) { self->write(); });
}

void Session::write()
{
    for (const auto& [name, value] : response.headers)
        close = close || (strcasecmp(name.c_str(), "Connection") == 0 && strcasecmp(value.c_str(), "close") == 0);
    bool headOnly = request.method == "HEAD";
    long long length = response.file ? response.fileSize : static_cast<long long>(response.body.size());
    head = wireHead(response, length, close);
    std::vector<net::const_buffer> buffers{net::buffer(head)};
    if (!headOnly && !response.file)
        buffers.push_back(net::buffer(response.body));
    expireAt(Clock::now() + writeTime);
    auto self = shared_from_this();
    net::async_write(socket, buffers, [self, headOnly](error_code error, size_t) {
        if (error)
            return;  // the client is gone: so is the connection
        if (self->response.file && !headOnly)
            return self->sendFile(0);
        self->finish();
    });
}

// The download from OFFSET on: each piece read on a worker, written here.
void Session::sendFile(long long offset)
{
    if (offset >= response.fileSize)
        return finish();
    auto self = shared_from_this();
    net::post(shared.workers, [self, offset]() mutable {
        size_t wanted = static_cast<size_t>(std::min<long long>(self->piece.size(), self->response.fileSize - offset));
        ssize_t count = pread(self->response.file->get(), self->piece.data(), wanted, static_cast<off_t>(offset));
        net::io_context& io = self->shared.io;
        net::post(io, [self = std::move(self), offset, count] {
            if (count <= 0)
                return;  // the file shrank: the connection ends short of its length
            self->expireAt(Clock::now() + writeTime);
            net::async_write(self->socket, net::buffer(self->piece.data(), static_cast<size_t>(count)),
                [self, offset, count](error_code error, size_t) {
                    if (!error)
                        self->sendFile(offset + count);
                });
        });
    });
}

void Session::finish()
{
    close ? linger() : readHeader();
}

// Closing with the client's bytes unread would reset the connection, and
// the client could lose the answer it has not read yet: the rest is read
// and dropped for a few seconds after the answer.
void Session::linger()
{
    error_code ignored;
    socket.shutdown(tcp::socket::shutdown_send, ignored);
    expireAt(Clock::now() + lingerTime);
    drain();
}

void Session::drain()
{
    auto self = shared_from_this();
    socket.async_read_some(net::buffer(piece), [self](error_code error, size_t) {
        if (!error)
            self->drain();
    });
}

} // namespace webnet
