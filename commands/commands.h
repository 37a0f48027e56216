#pragma once
#include <functional>
#include <optional>
#include <string>

#include "install/copyprogress.h"
#include "store/outcome.h"

// The commands that act on the store, for nimbrel and nimbrel serve, each
// through the procedures the windows call. A success's message names what
// changed; a refusal (status 2) has changed nothing. They print nothing.

struct InstallArguments {
    std::string file;  // an image file of the store, by name or path
    std::optional<int> slot;  // the first free one when empty
    std::string name;  // empty for "Image-N"
    bool settings = false;
    // The image file goes with its checksum files once installed; kept
    // otherwise. A backup stays all the same.
    bool removeFile = false;
    // Where the progress goes; may be empty.
    ProgressShown progress;
};

Outcome installCommand(const InstallArguments& arguments);

struct FetchArguments {
    std::string url;  // http://[user:password@]host[:port]/path
    std::string name;  // the file's name in the store; empty: the server's
    ProgressShown progress;  // may be empty
};

// Whether FILE is an http or https URL rather than a file of the store.
bool isFetchUrl(const std::string& file);
// An image file from a server into the store (fetch/fetch.h); Ctrl-C stops
// it, kept for the next fetch. FETCHED, when given, gets its name.
Outcome fetchCommand(const FetchArguments& arguments, std::string* fetched = nullptr);
// installCommand of the file that a fetch of the URL FILE stored; the file
// stays unless removeFile, as any other.
Outcome fetchAndInstall(InstallArguments arguments);
// Every check installCommand makes, writing nothing.
Outcome verifyCommand(const InstallArguments& arguments);
Outcome renameCommand(int slot, const std::string& name);
// A person's answer to QUESTION; empty when nobody can be asked.
using Confirm = std::function<std::optional<bool>(const std::string& question)>;
// Asks CONFIRM first unless it is empty; refuses when nobody can be asked.
Outcome eraseCommand(int slot, const Confirm& confirm);
// FILE: an image file of the store, which goes with its checksum files, or
// a checksum file; by name only. Asks CONFIRM as eraseCommand does.
Outcome removeCommand(const std::string& file, const Confirm& confirm);
// COLOUR: a name as the colour window lists it, or its code 2..8.
Outcome colorCommand(const std::string& colour);
Outcome menuCommand();
// TARGET: a slot as namedSlot takes it, or "flash".
Outcome defaultCommand(const std::string& target);

// The colour key of a name in any case or of a code; empty for any other text.
std::optional<int> colorKey(const std::string& colour);
// The refusal of COLOUR, listing the valid names.
std::string unknownColor(const std::string& colour);
