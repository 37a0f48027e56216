#include "install/slotpath.h"

#include <deque>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The kernel's own limit before it gives up with ELOOP.
constexpr int maxLinks = 40;

std::deque<std::string> components(const std::string& path)
{
    std::deque<std::string> parts;
    for (const fs::path& part : fs::path(path).relative_path())
        if (!part.empty())
            parts.push_back(part.string());
    return parts;
}

eString joined(const eString& slot, const std::vector<std::string>& parts)
{
    eString path = slot;
    for (const std::string& part : parts)
        path += "/" + part;
    return path;
}

// The target of PATH when it is a link.
bool linkTarget(const eString& path, std::string& target)
{
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(path.c_str(), error)))
        return false;
    target = fs::read_symlink(path.c_str(), error).string();
    return !error;
}

} // namespace

eString pathInSlot(const eString& slot, const eString& path, LastLink last)
{
    std::vector<std::string> resolved;
    std::deque<std::string> pending = components(path);
    int links = 0;
    while (!pending.empty()) {
        std::string part = pending.front();
        pending.pop_front();
        if (part == ".." && !resolved.empty())
            resolved.pop_back();
        if (part == "." || part == "..")
            continue;
        std::string target;
        bool keep = pending.empty() && last == LastLink::Keep;
        if (keep || !linkTarget(joined(slot, resolved) + "/" + part, target)) {
            resolved.push_back(part);
            continue;
        }
        if (++links > maxLinks)
            return "";
        if (!target.empty() && target[0] == '/')
            resolved.clear();
        std::deque<std::string> inner = components(target);
        pending.insert(pending.begin(), inner.begin(), inner.end());
    }
    return joined(slot, resolved);
}

bool isDirectory(const eString& path)
{
    std::error_code error;
    return fs::is_directory(path.c_str(), error);
}

bool isRegularFile(const eString& path)
{
    std::error_code error;
    return fs::is_regular_file(path.c_str(), error);
}

bool entryExists(const eString& path)
{
    std::error_code error;
    return fs::exists(fs::symlink_status(path.c_str(), error));
}
