#pragma once
#include <functional>
#include <memory>
#include <string>

#include "fetch/url.h"
#include "store/descriptor.h"

// One HTTP exchange with a server, bounded in time: a request out, the
// answer's header parsed, its body read in large pieces straight from the
// socket (through TLS for https, on builds that have it). Plain sockets
// and poll rather than Asio: the box's nimbrel reads one body at a time
// and needs nothing of an event loop.

class TlsSession;

// The time limits, in seconds. NIMBREL_FETCH_TIMES=CONNECT,STALL shortens
// them where a test must not wait half a minute for each stall.
struct FetchTimes {
    int connect = 10;
    int stall = 30;
};
FetchTimes fetchTimes();

// What a fetch its user stopped says.
inline const char* const fetchInterrupted = "fetch interrupted";

// What the answer's header says that a fetch acts on.
struct ServerAnswer {
    int status = 0;
    long long length = -1;  // Content-Length; -1 without one
    std::string etag, lastModified, location, disposition, contentRange;
    bool chunked = false;
};

class Connection {
public:
    // CANCELLED, when set, is asked while it waits on the server, five
    // times a second: true ends the wait, the fault fetchInterrupted.
    Connection(const FetchTimes& times, std::function<bool()> cancelled);

    // Connects to U's host and sends a GET of its target with the headers
    // EXTRA ("Name: value\r\n" each); reads the answer's header into
    // ANSWER. The fault, naming the host and the limit, or empty.
    std::string get(const Url& u, const std::string& extra, ServerAnswer& answer);

    // Reads up to SIZE bytes of the body into DATA, waiting no longer than
    // the stall limit: the count, 0 at the body's end, -1 with FAULT set.
    long read(char* data, size_t size, std::string& fault);

private:
    std::string connect(const Url& u);
    // Whether the socket is ready for EVENTS within SECONDS; else false,
    // errno ETIMEDOUT, ECANCELED when cancelled, or poll's.
    bool wait(short events, int seconds);
    // As read and write, through TLS where there is one.
    long readSome(char* data, size_t size);
    bool writeAll(const std::string& text);
    // Reads into DATA, waiting up to SECONDS for something to read.
    long readWithin(char* data, size_t size, int seconds);
    std::string readHeader(ServerAnswer& answer);

    FetchTimes times;
    std::function<bool()> cancelled;
    Descriptor socket;
    std::shared_ptr<TlsSession> tls;  // shared: its type is complete only where it is made
    std::string host, leftover;
};
