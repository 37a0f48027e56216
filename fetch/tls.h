#pragma once
#include <memory>
#include <string>

// https on builds with OpenSSL (NIMBREL_TLS: the PC's; the box's has no
// libssl): a TLS client over a connected, non-blocking socket, the
// server's certificate checked against the system's authorities
// (SSL_CERT_FILE names others) and the URL's host.
class TlsSession {
public:
    // The handshake with HOST over FD within SECONDS; empty, with FAULT
    // naming the host and the cause, when it fails.
    static std::unique_ptr<TlsSession> start(int fd, const std::string& host, int seconds, std::string& fault);
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    // As read and write on a non-blocking socket: -1 with errno EAGAIN
    // when the socket must first be ready (for writing when wantsWrite).
    long read(char* data, size_t size);
    long write(const char* data, size_t size);
    bool wantsWrite() const;

    struct State;  // OpenSSL's objects, known to tls.cpp alone

private:
    explicit TlsSession(std::unique_ptr<State> state);
    std::unique_ptr<State> state;
};
