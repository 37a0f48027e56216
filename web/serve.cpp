#include "web/serve.h"

#include <CLI/CLI.hpp>
#include <httplib.h>
#include <iostream>
#include <sys/socket.h>

#include "commands/refusal.h"
#include "commands/report.h"
#include "store/actionlog.h"
#include "store/context.h"
#include "web/access.h"
#include "web/jobs.h"
#include "web/routes.h"
#include "web/slotsizes.h"

namespace {

constexpr char passwordName[] = "nimbrel-web.password";

// ADDR:PORT split; throws Refusal for anything else.
std::pair<std::string, int> address(const std::string& listen)
{
    size_t colon = listen.rfind(':');
    int port = 0;
    try {
        port = colon == std::string::npos ? 0 : std::stoi(listen.substr(colon + 1));
    } catch (const std::exception&) {
    }
    if (port <= 0 || port > 65535 || colon == 0)
        throw Refusal("--listen wants ADDR:PORT, not " + listen);
    return {listen.substr(0, colon), port};
}

void limit(httplib::Server& server)
{
    // A second server on the port is an error, not a share of its connections.
    server.set_socket_options([](int sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    // A slow or silent client holds one thread for seconds, never the server.
    server.set_read_timeout(10);
    server.set_write_timeout(30);
    server.set_keep_alive_timeout(5);
    server.set_logger([](const httplib::Request& request, const httplib::Response& response) {
        std::cerr << "nimbrel: " << printable(request.method + " " + request.path) << " " << response.status << "\n";
    });
}

} // namespace

void addServe(CLI::App& app, std::function<int()>& command)
{
    static ServeOptions options;
    CLI::App* serving = app.add_subcommand("serve", "serve a web page for the store on the home network");
    serving->add_option("--listen", options.listen, "the address and port (default 0.0.0.0:8088)")->type_name("ADDR:PORT");
    serving->add_option("--password-file", options.passwordFile, "the password's file (default: " +
        std::string(passwordName) + " in the store, made on the first start)")->type_name("FILE");
    serving->callback([&command] { command = [] { return serve(options); }; });
}

int serve(const ServeOptions& options)
{
    auto [host, port] = address(options.listen);
    logFrontEnd = "web";  // the log tells the page's actions from the shell's
    std::string file = options.passwordFile.empty() ? mpoint + "/" + passwordName : options.passwordFile;
    bool created = false;
    std::string password = loadPassword(file, created);
    if (created)
        std::cout << "nimbrel: the web page's password, kept in " << file << ": " << password << "\n";
    Access access(password, file);
    Jobs jobs;
    SlotSizes sizes(measureSlot);
    httplib::Server server;
    limit(server);
    addRoutes(server, access, jobs, sizes);
    if (!server.bind_to_port(host.c_str(), port)) {
        std::cerr << "nimbrel: could not listen on " << options.listen << "\n";
        return 1;
    }
    std::cout << "nimbrel: serving " << mpoint << " on http://" << options.listen << "/" << std::endl;
    return server.listen_after_bind() ? 0 : 1;
}
