#include "fetch/connection.h"

#include <algorithm>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/parser.hpp>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

#if NIMBREL_TLS
#include "fetch/tls.h"
#endif

namespace http = boost::beast::http;

namespace {

using Clock = std::chrono::steady_clock;

struct AddressesFree {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};
using Addresses = std::unique_ptr<addrinfo, AddressesFree>;

// HOST's addresses; a numeric one without the resolver, which a static
// build for the box may not be able to load.
Addresses resolve(const std::string& host, int port, std::string& fault)
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = isAddress(host) ? AI_NUMERICHOST : 0;
    addrinfo* list = nullptr;
    int error = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list);
    if (error != 0)
        fault = "could not find the address of " + host + ": " + gai_strerror(error);
    return Addresses(error == 0 ? list : nullptr);
}

// What a fetch acts on of HEADER's fields.
void takeFields(const http::response_header<>& header, ServerAnswer& answer)
{
    answer.status = header.result_int();
    std::string length(header[http::field::content_length]);
    if (!length.empty() && length.size() <= 18 && length.find_first_not_of("0123456789") == std::string::npos)
        answer.length = std::stoll(length);
    answer.etag = std::string(header[http::field::etag]);
    answer.lastModified = std::string(header[http::field::last_modified]);
    answer.location = std::string(header[http::field::location]);
    answer.disposition = std::string(header[http::field::content_disposition]);
    answer.contentRange = std::string(header[http::field::content_range]);
}

} // namespace

FetchTimes fetchTimes()
{
    FetchTimes times;
    const char* set = std::getenv("NIMBREL_FETCH_TIMES");
    int connect = 0, stall = 0;
    if (set && std::sscanf(set, "%d,%d", &connect, &stall) == 2 && connect > 0 && stall > 0)
        times = FetchTimes{connect, stall};
    return times;
}

Connection::Connection(const FetchTimes& times, std::function<bool()> cancelled)
    : times(times)
    , cancelled(std::move(cancelled))
{
}

long Connection::readSome(char* data, size_t size)
{
#if NIMBREL_TLS
    if (tls)
        return tls->read(data, size);
#endif
    return static_cast<long>(::read(socket.get(), data, size));
}

bool Connection::writeAll(const std::string& text)
{
    for (size_t done = 0; done < text.size();) {
#if NIMBREL_TLS
        long count = tls ? tls->write(text.data() + done, text.size() - done) :
                           static_cast<long>(::write(socket.get(), text.data() + done, text.size() - done));
        bool out = !tls || tls->wantsWrite();
#else
        long count = static_cast<long>(::write(socket.get(), text.data() + done, text.size() - done));
        bool out = true;
#endif
        if (count < 0 && errno != EINTR && (errno != EAGAIN || !wait(out ? POLLOUT : POLLIN, times.stall)))
            return false;
        done += count > 0 ? static_cast<size_t>(count) : 0;
    }
    return true;
}

// Reads first and waits only when nothing is there: one system call a
// piece while the data flows, and no wait on bytes TLS holds already.
long Connection::readWithin(char* data, size_t size, int seconds)
{
    for (;;) {
        long count = readSome(data, size);
        if (count >= 0 || (errno != EINTR && errno != EAGAIN))
            return count;
#if NIMBREL_TLS
        short events = tls && tls->wantsWrite() ? POLLOUT : POLLIN;
#else
        short events = POLLIN;
#endif
        if (errno == EAGAIN && !wait(events, seconds))
            return -1;
    }
}

bool Connection::wait(short events, int seconds)
{
    // In slices: the user's Ctrl-C may be taken by another of the host's
    // threads, so no EINTR need come here to tell of it.
    constexpr long long slice = 200;
    pollfd watched{socket.get(), events, 0};
    auto until = Clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        if (cancelled && cancelled()) {
            errno = ECANCELED;
            return false;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        int ready = poll(&watched, 1, static_cast<int>(std::clamp<long long>(left, 0, slice)));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
        if (ready == 0 && left <= slice) {
            errno = ETIMEDOUT;
            return false;
        }
    }
}

// Tries each address in turn within the one connect limit.
std::string Connection::connect(const Url& u)
{
    std::string fault;
    host = u.host + ":" + std::to_string(u.port);
    Addresses list = resolve(u.host, u.port, fault);
    std::string refused;
    for (addrinfo* a = list.get(); a; a = a->ai_next) {
        socket = Descriptor(closeOnExec(::socket(a->ai_family, SOCK_STREAM, 0)));
        if (!socket || fcntl(socket.get(), F_SETFL, O_NONBLOCK) != 0)
            return "could not connect to " + host + ": " + std::strerror(errno);
        if (::connect(socket.get(), a->ai_addr, a->ai_addrlen) != 0 && errno != EINPROGRESS) {
            refused = std::strerror(errno);
            continue;
        }
        if (!wait(POLLOUT, times.connect))
            return errno == ECANCELED ? fetchInterrupted :
                "could not connect to " + host + " within " + std::to_string(times.connect) + " s";
        // Only a connection that stands has a peer; a failed one tells its
        // error to the first read.
        sockaddr_storage peer;
        socklen_t size = sizeof peer;
        if (getpeername(socket.get(), reinterpret_cast<sockaddr*>(&peer), &size) == 0)
            return "";
        char byte;
        refused = ::read(socket.get(), &byte, 1) < 0 ? std::strerror(errno) : "connection refused";
    }
    return fault.empty() ? "could not connect to " + host + ": " + refused : fault;
}

std::string Connection::get(const Url& u, const std::string& extra, ServerAnswer& answer)
{
    std::string fault = connect(u);
    if (!fault.empty())
        return fault;
    // HTTP/1.0: no chunks, no connection kept; every server still takes
    // Host and Range.
    std::string request = "GET " + u.target + " HTTP/1.0\r\nHost: " + hostPort(u) +
        "\r\nUser-Agent: nimbrel\r\nAccept-Encoding: identity\r\n" + extra + "\r\n";
    if (u.scheme == "https") {
#if NIMBREL_TLS
        tls = TlsSession::start(socket.get(), u.host, times.stall, fault);
        if (!tls)
            return fault;
#else
        return "https is not supported by this build: it has no TLS library";
#endif
    }
    if (!writeAll(request))
        return errno == ECANCELED ? fetchInterrupted : "could not send the request to " + host;
    return readHeader(answer);
}

std::string Connection::readHeader(ServerAnswer& answer)
{
    http::response_parser<http::empty_body> parser;
    parser.header_limit(16 * 1024);
    parser.eager(false);
    // The body is read raw, bounded by the fetch. (No boost::none: this
    // Beast compares a length with it as with a limit of 0.)
    parser.body_limit(UINT64_MAX);
    std::string buffer;
    auto until = Clock::now() + std::chrono::seconds(times.stall);
    while (!parser.is_header_done()) {
        char piece[4096];
        int left = static_cast<int>(std::chrono::duration_cast<std::chrono::seconds>(until - Clock::now()).count());
        long count = left > 0 ? readWithin(piece, sizeof piece, left) : -1;
        if (count < 0 && left > 0 && errno == ECANCELED)
            return fetchInterrupted;
        if (count < 0 && (left <= 0 || errno == ETIMEDOUT))
            return "no answer from " + host + " within " + std::to_string(times.stall) + " s";
        if (count <= 0)
            return "the connection to " + host + " ended before the answer's header";
        buffer.append(piece, static_cast<size_t>(count));
        boost::system::error_code error;
        size_t used = parser.put(boost::asio::buffer(buffer), error);
        if (error && error != http::error::need_more)
            return "malformed answer from " + host + ": " + error.message();
        buffer.erase(0, used);
    }
    leftover = buffer;
    takeFields(parser.get(), answer);
    answer.chunked = parser.chunked();
    return "";
}

long Connection::read(char* data, size_t size, std::string& fault)
{
    if (!leftover.empty()) {
        size_t count = std::min(size, leftover.size());
        std::memcpy(data, leftover.data(), count);
        leftover.erase(0, count);
        return static_cast<long>(count);
    }
    long count = readWithin(data, size, times.stall);
    if (count < 0)
        fault = errno == ETIMEDOUT ? "no data from " + host + " for " + std::to_string(times.stall) + " s" :
            errno == ECANCELED     ? fetchInterrupted :
                                     "the connection to " + host + " failed: " + std::strerror(errno);
    return count;
}
