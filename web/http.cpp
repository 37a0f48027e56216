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

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::string percentDecoded(const std::string& text, bool plus)
{
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        int high = i + 2 < text.size() && text[i] == '%' ? hexDigit(text[i + 1]) : -1;
        int low = high >= 0 ? hexDigit(text[i + 2]) : -1;
        if (low >= 0) {
            plain += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            plain += plus && text[i] == '+' ? ' ' : text[i];
        }
    }
    return plain;
}
