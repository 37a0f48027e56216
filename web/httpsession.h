#pragma once
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/buffer_body.hpp>
#include <boost/beast/http/parser.hpp>
#include <chrono>
#include <future>
#include <map>
#include <memory>
#include <optional>

#include "web/http.h"

// One connection of nimbrel serve, on the server's one I/O thread: it reads
// each request within its time, lets the routes' guard judge it, runs the
// route on the worker pool and writes the answer. A request's headers have
// 10 s from the first wait for them, however the bytes trickle in; a body
// 10 s without a byte, and in all 10 s plus its length at 64 kB/s.

namespace webnet {
namespace net = boost::asio;
namespace http = boost::beast::http;
using tcp = net::ip::tcp;
using Clock = std::chrono::steady_clock;

// The limits of a connection's waits and pieces.
inline constexpr std::chrono::seconds headerTime{10}, idleTime{10}, writeTime{30}, lingerTime{5};
inline constexpr long long floorRate = 64 * 1024;  // bytes a second a body must keep up
inline constexpr std::chrono::seconds failureDelay{1};
inline constexpr size_t pieceSize = 256 * 1024;  // an upload goes to the disk in these

// What the connections share; touched on the I/O thread only.
struct Shared {
    explicit Shared(const Routes& routes) : routes(routes) {}
    net::io_context io{1};
    const Routes& routes;
    // The routes' store work, off the I/O thread. An upload holds one
    // worker while its body comes; the store's lock refuses a second.
    net::thread_pool workers{3};
    std::map<net::ip::address, int> connections;  // open, by address
    int total = 0;
    // When each address's next wrong password may be answered.
    std::map<net::ip::address, Clock::time_point> nextFailure;
};

// RESPONSE as bytes up to its body, its length LENGTH; with
// "Connection: close" where CLOSE.
std::string wireHead(const Response& response, long long length, bool close);

class Session : public std::enable_shared_from_this<Session> {
public:
    Session(Shared& shared, tcp::socket socket, net::ip::address peer);
    ~Session();
    void start();

private:
    using Parser = http::request_parser<http::buffer_body>;
    using Done = std::function<void(bool)>;

    void readHeader();
    void onHeader(boost::system::error_code error);
    bool takeRequest();
    void route();
    void readSmall(Done done);
    void readPiece(size_t size, Clock::time_point until, Done done);
    void readRaw(uint64_t left, Done done);
    void continued(const std::function<void()>& then);
    std::future<bool> nextPiece();
    bool streamBody(const BodySink& sink);
    void run(const Routes::Route& route);
    void refuse(int status, const std::string& text);
    void respond();
    void write();
    void sendFile(long long offset);
    void finish();
    void linger();
    void drain();
    void expireAt(Clock::time_point when);
    bool timedOut(const boost::system::error_code& error);

    Shared& shared;
    tcp::socket socket;
    net::ip::address peer;
    boost::beast::flat_buffer buffer;
    std::optional<Parser> parser;
    Request request;
    Response response;
    bool close = false, expects = false, bodyDone = false;
    std::vector<char> piece, written;  // the one being read, the one being written
    size_t filled = 0;
    std::optional<uint64_t> remaining;  // of a streamed body of known length
    Clock::time_point bodyDeadline;
    std::string head;
    net::steady_timer deadline, failureWait;
    unsigned armed = 0;  // which expireAt the deadline is
    bool expired = false;
};

} // namespace webnet
