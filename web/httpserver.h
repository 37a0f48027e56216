#pragma once
#include <functional>
#include <string>

struct Routes;

// Serves ROUTES on HOST:PORT until the process ends, calling LISTENING once
// it listens; false when it cannot listen there. One thread reads and
// writes every connection; the routes run on a few workers. An address
// holds at most 32 connections and all at most 128: one more is refused
// at once.
bool serveHttp(const std::string& host, int port, const Routes& routes, const std::function<void()>& listening);
