#include "web/httpsession.h"

#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/http/read.hpp>
#include <future>

// How a session reads a request's body: a small one whole before its route
// runs, an upload's in large pieces while its route writes them.

namespace webnet {

using boost::system::error_code;

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
    if (piece.size() < size)
        piece.resize(size);
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

// Asks the I/O thread for the body's next piece, into PIECE; the answer
// whether it came whole, once FILLED holds its length.
std::future<bool> Session::nextPiece()
{
    auto got = std::make_shared<std::promise<bool>>();
    std::future<bool> future = got->get_future();
    net::post(shared.io, [self = shared_from_this(), got] {
        self->filled = 0;
        self->continued([self, got] {
            Done done = [got](bool whole) { got->set_value(whole); };
            self->piece.resize(pieceSize);
            self->remaining ? self->readRaw(*self->remaining, done) :
                              self->readPiece(self->piece.size(), self->bodyDeadline, done);
        });
    });
    return future;
}

// On a worker: each piece read on the I/O thread, handed to SINK here. Two
// pieces take turns, so the socket is read while the last piece is written:
// the copies from the socket and to the disk overlap.
bool Session::streamBody(const BodySink& sink)
{
    std::future<bool> next = nextPiece();
    while (true) {
        bool whole = next.get();
        size_t got = filled;
        bool last = !whole || bodyDone;
        std::swap(piece, written);  // the I/O thread touches neither until the next post
        if (!last)
            next = nextPiece();
        bool taken = got == 0 || sink(written.data(), got);
        if (!taken && !last)
            next.wait();  // its handler holds the session's buffers until it ends
        if (!taken || last) {
            written = std::vector<char>();
            return taken && whole;
        }
    }
}

} // namespace webnet
