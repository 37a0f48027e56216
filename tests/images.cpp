#include "tests/images.h"

#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <stdexcept>

#include "tests/support.h"

namespace {

std::string quoted(const std::string& value)
{
    std::string out = "'";
    for (char c : value)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

void runMaker(const std::string& arguments)
{
    std::string maker = std::string(NIMBREL_SOURCE) + "/scripts/make-image";
    if (shell(quoted(maker) + " " + arguments) != 0)
        throw std::runtime_error("make-image " + arguments + " failed");
}

} // namespace

const char flashSettings[] = "settings of the flash image\n";

void makeImage(const std::string& path, const std::string& options)
{
    runMaker(options + " " + quoted(path));
}

void makeTree(const std::string& dir)
{
    runMaker("--tree " + quoted(dir));
}

void prependPath(const std::string& dir)
{
    const char* path = std::getenv("PATH");
    setenv("PATH", (dir + ":" + (path ? path : "")).c_str(), 1);
}

void useCramfsStandIn()
{
    if (readFile("/proc/filesystems").find("cramfs") == std::string::npos)
        prependPath(std::string(NIMBREL_BUILD) + "/pchost-bin");
}

void writeFlashSettings()
{
    writeFile("/var/tuxbox/config/enigma/config", flashSettings);
    writeFile("/var/tuxbox/config/enigma/bouquets", "flash bouquets\n");
}

std::string fingerprint(const std::vector<std::string>& roots, const std::vector<std::string>& skip)
{
    std::string prune;
    for (const std::string& path : skip)
        prune += " -path " + quoted(path) + " -prune -o";
    std::string paths;
    for (const std::string& root : roots)
        paths += " " + quoted(root);
    std::string select = paths + prune;
    // Directory times change when anything is made and removed again, so
    // they are left out; file content goes in as a hash.
    return capture("{ find" + select + " -printf '%p %y %m %l\\n'; find" + select +
        " -type f -exec sha256sum {} +; } | sort");
}

std::string changedLines(const std::string& before, const std::string& after)
{
    auto lines = [](const std::string& text) {
        std::set<std::string> set;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);)
            set.insert(line);
        return set;
    };
    std::set<std::string> old = lines(before), now = lines(after);
    std::string changes;
    for (const std::string& line : old)
        if (!now.count(line))
            changes += "- " + line + "\n";
    for (const std::string& line : now)
        if (!old.count(line))
            changes += "+ " + line + "\n";
    return changes;
}

bool isMountPoint(const std::string& dir)
{
    return shell("mountpoint -q " + quoted(dir)) == 0;
}

InstallRequest installRequest(const std::string& file, const std::string& slot,
    const std::string& name)
{
    InstallRequest wanted;
    wanted.noliste = 0;
    wanted.noiort = 0;
    wanted.freemem = 1000000;
    wanted.file = file;
    wanted.slot = slot;
    wanted.name = name;
    return wanted;
}
