#include "web/http.h"

#include <strings.h>

bool NoCase::operator()(const std::string& a, const std::string& b) const
{
    return strcasecmp(a.c_str(), b.c_str()) < 0;
}

std::string Request::header(const std::string& name) const
{
    auto found = headers.find(name);
    return found == headers.end() ? "" : found->second;
}

bool Request::hasHeader(const std::string& name) const
{
    return headers.count(name) != 0;
}

std::string Request::param(const std::string& name) const
{
    auto found = query.find(name);
    return found == query.end() ? "" : found->second;
}

void Response::setHeader(const std::string& name, const std::string& value)
{
    for (auto& header : headers) {
        if (strcasecmp(header.first.c_str(), name.c_str()) == 0) {
            header.second = value;
            return;
        }
    }
    headers.emplace_back(name, value);
}

void Response::setContent(std::string text, const std::string& type)
{
    body = std::move(text);
    setHeader("Content-Type", type);
}

void Routes::add(std::string method, std::string path, Handler handler, bool streamsBody)
{
    table.push_back(Route{std::move(method), std::move(path), std::move(handler), streamsBody});
}

const Routes::Route* Routes::find(const std::string& method, const std::string& path) const
{
    // HEAD is GET without its body, which the transport leaves out.
    std::string wanted = method == "HEAD" ? "GET" : method;
    for (const Route& route : table) {
        if (route.method == wanted && route.path == path)
            return &route;
    }
    return nullptr;
}

