#include "tests/images.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <stdexcept>

#include "store/shell.h"
#include "tests/support.h"

const char flashSettings[] = "settings of the flash image\n";

void makeImage(const std::string& path, const std::string& options)
{
    if (shell(shellQuote(NIMBREL_SOURCE "/scripts/make-image") + " " + options + " " + shellQuote(path)) != 0)
        throw std::runtime_error("make-image " + options + " " + path + " failed");
}

void makeTree(const std::string& dir) { makeImage(dir, "--tree"); }

void prependPath(const std::string& dir)
{
    const char* path = std::getenv("PATH");
    setenv("PATH", (dir + ":" + (path ? path : "")).c_str(), 1);
}

void useCramfsStandIn()
{
    if (readFile("/proc/filesystems").find("cramfs") == std::string::npos)
        prependPath(NIMBREL_BUILD "/pchost-bin");
}

void writeFlashSettings()
{
    writeFile("/var/tuxbox/config/enigma/config", flashSettings);
    writeFile("/var/tuxbox/config/enigma/bouquets", "flash bouquets\n");
}

std::string fingerprint(const std::vector<std::string>& roots, const std::vector<std::string>& skip)
{
    // An action's log line, and who holds the lock, are no change of the store's slots.
    auto leftOut = [&](const std::string& path) {
        std::filesystem::path name = std::filesystem::path(path).filename();
        return std::find(skip.begin(), skip.end(), path) != skip.end() || name == "nimbrel.log" ||
            name == ".nimbrel-lock";
    };
    std::vector<std::string> lines;
    for (const std::string& root : roots)
        addTreeLines(root, root, leftOut, lines);
    return sortedText(lines);
}

std::string changedLines(const std::string& before, const std::string& after)
{
    std::set<std::string> lines[2];
    for (int side : {0, 1}) {
        std::istringstream in(side ? after : before);
        for (std::string line; std::getline(in, line);)
            lines[side].insert(line);
    }
    std::string changes;
    for (int side : {0, 1})
        for (const std::string& line : lines[side])
            changes += lines[1 - side].count(line) ? "" : (side ? "+ " : "- ") + line + "\n";
    return changes;
}

InstallRequest installRequest(const std::string& file, const std::string& slot, const std::string& name)
{
    InstallRequest wanted;
    wanted.noliste = wanted.noiort = 0;
    wanted.freemem = 1000000;
    wanted.file = file, wanted.slot = slot, wanted.name = name;
    return wanted;
}

bool isMountPoint(const std::string& dir) { return shell("mountpoint -q " + shellQuote(dir)) == 0; }
