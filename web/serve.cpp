#include "web/serve.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "commands/refusal.h"
#include "commands/report.h"
#include "store/actionlog.h"
#include "store/context.h"
#include "web/access.h"
#include "web/http.h"
#include "web/httpserver.h"
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
    std::string host = listen.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);  // [::1]:8088
    return {host, port};
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
    Routes routes;
    addRoutes(routes, access, jobs, sizes);
    std::string whyNot = serveHttp(host, port, routes, [&options] {
        std::cout << "nimbrel: serving " << mpoint << " on http://" << options.listen << "/" << std::endl;
    });
    if (whyNot.empty())
        return 0;
    std::cerr << "nimbrel: could not listen on " << options.listen << ": " << whyNot
              << ": give another address or port with --listen ADDR:PORT\n";
    return 1;
}
