#pragma once
#include <functional>
#include <string>

namespace CLI {
class App;
}

// nimbrel serve: the store from a browser on the home network.
struct ServeOptions {
    std::string listen = "0.0.0.0:8088";
    std::string passwordFile;  // empty: nimbrel-web.password in the store
};

// Adds the serve command to APP; choosing it sets COMMAND, run once the
// store is chosen.
void addServe(CLI::App& app, std::function<int()>& command);

// Serves the chosen store until the process ends; 1 when it cannot start.
int serve(const ServeOptions& options);
