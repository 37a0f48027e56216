#include "store/controls.h"
#include "web/httpsession.h"

#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/http/status.hpp>
#include <iostream>
#include <strings.h>
#include <unistd.h>


// How a session answers: a text or a file, then the next request or the
// end of the connection.

namespace webnet {

using boost::system::error_code;

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
    piece.resize(pieceSize);
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
    piece.resize(4096);
    auto self = shared_from_this();
    socket.async_read_some(net::buffer(piece), [self](error_code error, size_t) {
        if (!error)
            self->drain();
    });
}

} // namespace webnet
