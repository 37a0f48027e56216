#pragma once
#include <string>

#include "store/outcome.h"

struct Request;
struct Response;

// Image files going into the store from a browser and backups coming out,
// each by a name that must be one of the store's own files.

// REQUEST's Content-Length; -1 without one or for anything but a number.
long long contentLength(const Request& request);

// Streams REQUEST's body into the store as NAME: into a fresh file beside
// it, renamed only when whole, removed when the client goes away or
// stalls. Refuses, before any of the body is read, a bad name, an existing
// file, a body over the limit or without its length, too little space (as
// the installation's check) and a busy store.
Outcome receiveUpload(const std::string& name, const Request& request);

// Answers with the store's file NAME as a download, or with the refusal.
void sendFile(const std::string& name, Response& response);
