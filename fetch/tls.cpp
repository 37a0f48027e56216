#include "fetch/tls.h"

#include <cerrno>
#include <chrono>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>

#include "fetch/url.h"

struct TlsSession::State {
    SSL_CTX* context = nullptr;
    SSL* ssl = nullptr;
    bool writeWanted = false;
    ~State()
    {
        SSL_free(ssl);
        SSL_CTX_free(context);
    }
};

namespace {

// A context that checks the server's certificate and its name, or address.
bool prepare(TlsSession::State& s, int fd, const std::string& host)
{
    s.context = SSL_CTX_new(TLS_client_method());
    if (!s.context || SSL_CTX_set_min_proto_version(s.context, TLS1_2_VERSION) != 1 ||
        SSL_CTX_set_default_verify_paths(s.context) != 1)
        return false;
    SSL_CTX_set_verify(s.context, SSL_VERIFY_PEER, nullptr);
    // An HTTP/1.0 server may close without TLS's own end: the body's length
    // tells a cut one.
    SSL_CTX_set_options(s.context, SSL_OP_IGNORE_UNEXPECTED_EOF);
    s.ssl = SSL_new(s.context);
    if (!s.ssl || SSL_set_fd(s.ssl, fd) != 1)
        return false;
    if (isAddress(host))
        return X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(s.ssl), host.c_str()) == 1;
    return SSL_set_tlsext_host_name(s.ssl, host.c_str()) == 1 && SSL_set1_host(s.ssl, host.c_str()) == 1;
}

std::string cause(SSL* ssl)
{
    long verified = SSL_get_verify_result(ssl);
    if (verified != X509_V_OK)
        return std::string("its certificate is not trusted: ") + X509_verify_cert_error_string(verified);
    unsigned long error = ERR_get_error();
    return error ? ERR_reason_error_string(error) ? ERR_reason_error_string(error) : "TLS error" : "the connection ended";
}

} // namespace

TlsSession::TlsSession(std::unique_ptr<State> state)
    : state(std::move(state))
{
}

TlsSession::~TlsSession() = default;

std::unique_ptr<TlsSession> TlsSession::start(int fd, const std::string& host, int seconds, std::string& fault)
{
    auto s = std::make_unique<State>();
    ERR_clear_error();
    if (!prepare(*s, fd, host)) {
        fault = "could not set up TLS for " + host;
        return nullptr;
    }
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (;;) {
        int done = SSL_connect(s->ssl);
        if (done == 1)
            return std::unique_ptr<TlsSession>(new TlsSession(std::move(s)));
        int error = SSL_get_error(s->ssl, done);
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        pollfd watched{fd, static_cast<short>(error == SSL_ERROR_WANT_WRITE ? POLLOUT : POLLIN), 0};
        if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) {
            fault = "TLS with " + host + " failed: " + cause(s->ssl);
            return nullptr;
        }
        if (left.count() <= 0 || poll(&watched, 1, static_cast<int>(left.count())) <= 0) {
            fault = "no TLS handshake with " + host + " within " + std::to_string(seconds) + " s";
            return nullptr;
        }
    }
}

long TlsSession::read(char* data, size_t size)
{
    int count = SSL_read(state->ssl, data, static_cast<int>(std::min<size_t>(size, 1 << 30)));
    if (count > 0)
        return count;
    int error = SSL_get_error(state->ssl, count);
    state->writeWanted = error == SSL_ERROR_WANT_WRITE;
    if (error == SSL_ERROR_ZERO_RETURN)
        return 0;
    errno = error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE ? EAGAIN : errno ? errno : EPROTO;
    return -1;
}

long TlsSession::write(const char* data, size_t size)
{
    int count = SSL_write(state->ssl, data, static_cast<int>(std::min<size_t>(size, 1 << 30)));
    if (count > 0)
        return count;
    int error = SSL_get_error(state->ssl, count);
    state->writeWanted = error == SSL_ERROR_WANT_WRITE;
    errno = error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE ? EAGAIN : errno ? errno : EPROTO;
    return -1;
}

bool TlsSession::wantsWrite() const
{
    return state->writeWanted;
}
