#pragma once
#include <functional>
#include <string>

struct Routes;

// Serves ROUTES on HOST:PORT until the process ends, calling LISTENING once
// it listens; returns why it cannot listen there, in the system's words.
// One thread reads and writes every connection; the routes run on a few
// workers. An address holds at most 32 connections and all at most 128:
// one more is refused at once.
std::string serveHttp(const std::string& host, int port, const Routes& routes, const std::function<void()>& listening);
