#pragma once
#include <string>

// The plug-in, loaded with dlopen as the box's host loads it; unloaded
// when this goes, as the box's host does between two starts. Throws
// std::runtime_error when PATH does not load or has no plugin_exec.
class Plugin {
public:
    explicit Plugin(const std::string& path);
    ~Plugin();
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    void exec() const;  // calls plugin_exec

private:
    void* library;
    int (*entry)(void*);
};
