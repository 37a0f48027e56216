#include "web/httpserver.h"

#include <boost/asio/ip/tcp.hpp>
#include <fcntl.h>
#include <sys/socket.h>

#include "web/httpsession.h"

namespace {

using namespace webnet;
using boost::system::error_code;

constexpr int perAddress = 32, inAll = 128;

// Keeps the commands the procedures start from inheriting a socket: set
// after the call, as the box's kernel may lack SOCK_CLOEXEC.
void noInherit(int fd)
{
    fcntl(fd, F_SETFD, fcntl(fd, F_GETFD) | FD_CLOEXEC);
}

class Listener {
public:
    Listener(Shared& shared, tcp::acceptor& acceptor) : shared(shared), acceptor(acceptor), pause(shared.io) {}

    void accept()
    {
        acceptor.async_accept([this](error_code error, tcp::socket socket) {
            if (error) {  // out of descriptors, say: a pause, not a loop at full speed
                pause.expires_after(std::chrono::milliseconds(100));
                pause.async_wait([this](error_code) { accept(); });
                return;
            }
            noInherit(socket.native_handle());
            error_code unknown;
            net::ip::address peer = socket.remote_endpoint(unknown).address();
            auto count = shared.connections.find(peer);
            if (shared.total >= inAll || (count != shared.connections.end() && count->second >= perAddress))
                refuse(socket);
            else
                std::make_shared<Session>(shared, std::move(socket), peer)->start();
            accept();
        });
    }

private:
    // The answer fits into the fresh socket's buffer: sent without waiting.
    void refuse(tcp::socket& socket)
    {
        Response response;
        shared.routes.refuse(response, 503, "too many connections: try again in a moment");
        for (const auto& [name, value] : shared.routes.always)
            response.setHeader(name, value);
        std::string bytes = wireHead(response, static_cast<long long>(response.body.size()), true) + response.body;
        ssize_t sent = send(socket.native_handle(), bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        (void)sent;  // nothing more to do for one that cannot take it
        error_code ignored;
        socket.shutdown(tcp::socket::shutdown_both, ignored);
    }

    Shared& shared;
    tcp::acceptor& acceptor;
    net::steady_timer pause;
};

// Why ACCEPTOR cannot listen on HOST:PORT, or "" once it listens.
std::string listen(tcp::acceptor& acceptor, const std::string& host, int port)
{
    // A numeric address: a name would need the C library's resolver, which
    // a static program cannot take with it to the box.
    error_code error;
    tcp::endpoint endpoint(net::ip::make_address(host, error), static_cast<unsigned short>(port));
    if (!error)
        acceptor.open(endpoint.protocol(), error);
    if (error)
        return error.message();
    noInherit(acceptor.native_handle());
    // A second server on the port is an error, not a share of its connections.
    acceptor.set_option(tcp::acceptor::reuse_address(true), error);
    acceptor.bind(endpoint, error);
    if (!error)
        acceptor.listen(net::socket_base::max_listen_connections, error);
    return error ? error.message() : "";
}

} // namespace

std::string serveHttp(const std::string& host, int port, const Routes& routes, const std::function<void()>& listening)
{
    Shared shared(routes);
    tcp::acceptor acceptor(shared.io);
    std::string whyNot = listen(acceptor, host, port);
    if (!whyNot.empty())
        return whyNot;
    listening();
    Listener listener(shared, acceptor);
    listener.accept();
    shared.io.run();
    return "";
}
