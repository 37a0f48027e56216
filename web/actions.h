#pragma once
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "store/outcome.h"

class Jobs;

// The page's changing requests, each a JSON object, as the command line's
// commands over the same procedures. The long ones start in JOBS and are
// done once started; the page follows them by their progress.

// A request without what it must name, or naming it wrongly.
struct BadRequest : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// {file, slot?, name?, settings?, remove_file?}: the image file is kept
// unless remove_file is true (a backup always).
Outcome startInstall(const nlohmann::json& body, Jobs& jobs);
// {file, slot?}
Outcome startVerify(const nlohmann::json& body, Jobs& jobs);
// {url, name?}: an image file from an http server into the store.
Outcome startFetch(const nlohmann::json& body, Jobs& jobs);
// {slot}: into the store under the backup's own name.
Outcome startBackup(const nlohmann::json& body, Jobs& jobs);
// {slot, name}
Outcome renameAction(const nlohmann::json& body);
// {slot, confirm}: CONFIRM must be the name the slot has now, so a page
// that shows an older state never erases what came since.
Outcome eraseAction(const nlohmann::json& body);
// {slot}: the boot menu's default entry starts it; without a slot, the
// firmware in flash.
Outcome defaultAction(const nlohmann::json& body);
// {colour}
Outcome colourAction(const nlohmann::json& body);
// {file}: an image file or checksum file the store lists, as nimbrel
// remove takes it; the page has asked the person already.
Outcome removeAction(const nlohmann::json& body);
