#pragma once
#include <cstdio>
#include <dirent.h>
#include <memory>

#include "host/estring.h"

struct FileCloser {
    void operator()(FILE* file) const;
};
struct DirCloser {
    void operator()(DIR* dir) const;
};

// Handles that close themselves; empty when the open failed.
using FileHandle = std::unique_ptr<FILE, FileCloser>;
using DirHandle = std::unique_ptr<DIR, DirCloser>;

FileHandle openFile(const eString& path, const char* mode);
DirHandle openDir(const eString& path);

// Closes FILE and reports whether everything written to it reached the file;
// false for an empty handle.
bool closeFile(FileHandle file);
