#include "web/routes.h"

#include <mutex>
#include <strings.h>

#include "commands/refusal.h"
#include "commands/report.h"
#include "store/controls.h"
#include "store/storecheck.h"
#include "web/access.h"
#include "web/actions.h"
#include "web/files.h"
#include "web/http.h"
#include "web/jobs.h"
#include "web/page.h"
#include "web/slotsizes.h"

namespace {

using nlohmann::json;

// The bodies of requests other than uploads: small JSON objects.
constexpr size_t bodyLimit = 64 * 1024;

// The procedures use the store's globals: the server calls them one at a
// time. A long action runs outside, under the store's lock.
std::mutex core;

void answer(Response& response, int status, const json& body)
{
    response.status = status;
    response.setContent(body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json");
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

bool deny(Response& response, int status, const std::string& text)
{
    answer(response, status, outcomeJson(Outcome::refused(text)));
    response.setHeader("Connection", "close");
    return true;
}

bool guard(Access& access, const Request& request, Response& response)
{
    if (!access.authorized(request)) {
        bool tried = request.hasHeader("Authorization");
        response.slowed = tried;
        response.setHeader("WWW-Authenticate", "Basic realm=\"nimbrel\", charset=\"UTF-8\"");
        return deny(response, 401, tried ? "wrong password: it is the first line of " + access.passwordFile() +
            " on the box" : "password required");
    }
    if (request.method == "GET" || request.method == "HEAD")
        return false;
    if (!sameOrigin(request))
        return deny(response, 403, "request from another site");
    if (!access.validToken(request.header("X-Nimbrel-Token")))
        return deny(response, 403, "no valid session token: reload the page");
    // Refused unread: nothing of the server inflates what a client sends.
    std::string encoding = request.header("Content-Encoding");
    if (!encoding.empty() && strcasecmp(encoding.c_str(), "identity") != 0)
        return deny(response, 415, "request body with Content-Encoding " + printable(encoding) + ": send it as it is");
    bool large = request.hasHeader("Transfer-Encoding") || contentLength(request) > static_cast<long long>(bodyLimit);
    if (large && request.path != "/api/upload")
        return deny(response, 413, "request too large");
    return false;
}

void addReading(Routes& routes, Access& access, Jobs& jobs, SlotSizes& sizes)
{
    routes.add("GET", "/", [](const Request&, Response& response) {
        response.setContent(pageText, "text/html; charset=utf-8");
    });
    routes.add("GET", "/api/session", [&access](const Request&, Response& response) {
        answer(response, 200, {{"token", access.token()}});
    });
    routes.add("GET", "/api/progress", [&jobs](const Request&, Response& response) {
        answer(response, 200, jobs.state());
    });
    routes.add("GET", "/api/file", [](const Request& request, Response& response) {
        sendFile(request.param("name"), response);
    });
    routes.add("GET", "/api/status", [&sizes](const Request&, Response& response) {
        std::lock_guard<std::mutex> one(core);
        std::optional<Outcome> none = refuseNoImageStore();
        SlotSizeOf measured = [&sizes](int slot) { return sizes.sizeOf(slot); };
        none ? answer(response, *none) : response.setContent(statusReport(true, measured), "application/json");
    });
    routes.add("GET", "/api/images", [](const Request&, Response& response) {
        std::lock_guard<std::mutex> one(core);
        response.setContent(imagesReport(true), "application/json");
    });
}

void addChanging(Routes& routes, Jobs& jobs)
{
    using Action = std::function<Outcome(const json&)>;
    auto post = [&routes](const char* path, Action action) {
        routes.add("POST", path, [action](const Request& request, Response& response) {
            act(response, [&] { return action(json::parse(request.body)); });
        });
    };
    post("/api/install", [&jobs](const json& body) { return startInstall(body, jobs); });
    post("/api/verify", [&jobs](const json& body) { return startVerify(body, jobs); });
    post("/api/fetch", [&jobs](const json& body) { return startFetch(body, jobs); });
    post("/api/backup", [&jobs](const json& body) { return startBackup(body, jobs); });
    post("/api/rename", renameAction);
    post("/api/erase", eraseAction);
    post("/api/colour", colourAction);
    post("/api/remove", removeAction);
    post("/api/default", defaultAction);
    routes.add("PUT", "/api/upload", [](const Request& request, Response& response) {
        answer(response, receiveUpload(request.param("name"), request));
        if (request.bodyStatus != 0)
            response.status = request.bodyStatus;  // the client's fault, not the box's
    }, true);
}

} // namespace

void addRoutes(Routes& routes, Access& access, Jobs& jobs, SlotSizes& sizes)
{
    routes.guard = [&access](const Request& request, Response& response) { return guard(access, request, response); };
    routes.refuse = [](Response& response, int status, const std::string& text) { deny(response, status, text); };
    routes.smallBody = bodyLimit;
    // No other site shows the page in a frame to have its buttons clicked
    // unseen; nothing is kept by a cache between the box and the browser.
    routes.always = {{"X-Frame-Options", "DENY"}, {"Content-Security-Policy", "frame-ancestors 'none'"},
        {"X-Content-Type-Options", "nosniff"}, {"Cache-Control", "no-store"}};
    addReading(routes, access, jobs, sizes);
    addChanging(routes, jobs);
}
