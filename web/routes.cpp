#include "web/routes.h"

#include <httplib.h>
#include <mutex>

#include "commands/refusal.h"
#include "commands/report.h"
#include "store/storecheck.h"
#include "web/access.h"
#include "web/actions.h"
#include "web/files.h"
#include "web/jobs.h"
#include "web/page.h"
#include "web/slotsizes.h"

namespace {

using httplib::Request;
using httplib::Response;
using nlohmann::json;

// The bodies of requests other than uploads: small JSON objects.
constexpr size_t bodyLimit = 64 * 1024;

// The procedures use the store's globals: the server calls them one at a
// time. A long action runs outside, under the store's lock.
std::mutex core;

void answer(Response& response, int status, const json& body)
{
    response.status = status;
    response.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json");
}

void answer(Response& response, const Outcome& outcome)
{
    answer(response, outcome.kind == Outcome::Done ? 200 : outcome.kind == Outcome::Refused ? 409 : 500,
        outcomeJson(outcome));
}

// Runs ACT under the core's lock and answers with its outcome.
void act(Response& response, const std::function<Outcome()>& act)
{
    std::lock_guard<std::mutex> one(core);
    try {
        answer(response, act());
    } catch (const BadRequest& error) {
        answer(response, 400, outcomeJson(Outcome::refused(error.what())));
    } catch (const json::exception&) {
        answer(response, 400, outcomeJson(Outcome::refused("malformed request")));
    } catch (const Refusal& refusal) {
        answer(response, Outcome::refused(refusal.what()));
    } catch (const std::exception& error) {
        answer(response, Outcome::failed(error.what()));
    }
}

httplib::Server::HandlerResponse deny(Response& response, int status, const std::string& text)
{
    answer(response, status, outcomeJson(Outcome::refused(text)));
    response.set_header("Connection", "close");
    return httplib::Server::HandlerResponse::Handled;
}

httplib::Server::HandlerResponse guard(Access& access, const Request& request, Response& response)
{
    if (!access.authorized(request)) {
        bool tried = request.has_header("Authorization");
        if (tried)
            access.slowDown();
        response.set_header("WWW-Authenticate", "Basic realm=\"nimbrel\", charset=\"UTF-8\"");
        return deny(response, 401, tried ? "wrong password: it is the first line of " + access.passwordFile() +
            " on the box" : "password required");
    }
    if (request.method == "GET" || request.method == "HEAD")
        return httplib::Server::HandlerResponse::Unhandled;
    if (!sameOrigin(request))
        return deny(response, 403, "request from another site");
    if (!access.validToken(request.get_header_value("X-Nimbrel-Token")))
        return deny(response, 403, "no valid session token: reload the page");
    bool large = request.has_header("Transfer-Encoding") || contentLength(request) > static_cast<long long>(bodyLimit);
    if (large && request.path != "/api/upload")
        return deny(response, 413, "request too large");
    return httplib::Server::HandlerResponse::Unhandled;
}

void addReading(httplib::Server& server, Access& access, Jobs& jobs, SlotSizes& sizes)
{
    server.Get("/", [](const Request&, Response& response) {
        response.set_content(pageText, "text/html; charset=utf-8");
    });
    server.Get("/api/session", [&access](const Request&, Response& response) {
        answer(response, 200, {{"token", access.token()}});
    });
    server.Get("/api/progress", [&jobs](const Request&, Response& response) { answer(response, 200, jobs.state()); });
    server.Get("/api/file", [](const Request& request, Response& response) {
        sendFile(request.get_param_value("name"), response);
    });
    server.Get("/api/status", [&sizes](const Request&, Response& response) {
        std::lock_guard<std::mutex> one(core);
        std::optional<Outcome> none = refuseNoImageStore();
        SlotSizeOf measured = [&sizes](int slot) { return sizes.sizeOf(slot); };
        none ? answer(response, *none) : response.set_content(statusReport(true, measured), "application/json");
    });
    server.Get("/api/images", [](const Request&, Response& response) {
        std::lock_guard<std::mutex> one(core);
        response.set_content(imagesReport(true), "application/json");
    });
}

void addChanging(httplib::Server& server, Jobs& jobs)
{
    using Action = std::function<Outcome(const json&)>;
    auto post = [&server](const char* path, Action action) {
        server.Post(path, [action](const Request& request, Response& response) {
            act(response, [&] { return action(json::parse(request.body)); });
        });
    };
    post("/api/install", [&jobs](const json& body) { return startInstall(body, jobs); });
    post("/api/verify", [&jobs](const json& body) { return startVerify(body, jobs); });
    post("/api/backup", [&jobs](const json& body) { return startBackup(body, jobs); });
    post("/api/rename", renameAction);
    post("/api/erase", eraseAction);
    post("/api/colour", colourAction);
    post("/api/remove", removeAction);
    post("/api/default", defaultAction);
    server.Put("/api/upload", [](const Request& request, Response& response, const httplib::ContentReader& reader) {
        Outcome outcome = receiveUpload(request.get_param_value("name"), request, reader);
        if (outcome.kind != Outcome::Done)
            response.set_header("Connection", "close");  // a body left unread ends with the connection
        answer(response, outcome);
    });
}

} // namespace

void addRoutes(httplib::Server& server, Access& access, Jobs& jobs, SlotSizes& sizes)
{
    server.set_pre_routing_handler([&access](const Request& request, Response& response) {
        return guard(access, request, response);
    });
    // No other site shows the page in a frame to have its buttons clicked
    // unseen; nothing is kept by a cache between the box and the browser.
    server.set_post_routing_handler([](const Request&, Response& response) {
        response.set_header("X-Frame-Options", "DENY");
        response.set_header("Content-Security-Policy", "frame-ancestors 'none'");
        response.set_header("X-Content-Type-Options", "nosniff");
        response.set_header("Cache-Control", "no-store");
    });
    addReading(server, access, jobs, sizes);
    addChanging(server, jobs);
}
