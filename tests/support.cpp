#include "tests/support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>

#include "plugin/globals.h"
#include "store/shell.h"
#include "tests/images.h"

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const std::string& path, const std::string& content, mode_t mode)
{
    shell("mkdir -p \"$(dirname " + shellQuote(path) + ")\"");
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    if (!out || chmod(path.c_str(), mode) != 0)
        throw std::runtime_error("cannot write " + path);
}

bool pathExists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

int fileMode(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return -1;
    return st.st_mode & 07777;
}

int shell(const std::string& line)
{
    int status = std::system(line.c_str());
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string capture(const std::string& line)
{
    std::string out;
    FILE* pipe = popen(line.c_str(), "r");
    if (!pipe)
        throw std::runtime_error("cannot run " + line);
    char buffer[4096];
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe))
        out.append(buffer, n);
    pclose(pipe);
    return out;
}

const char* const TestStore::menuHead =
    "#!/bin/sh\n"
    "RC=$1\n"
    "mpoint=/hdd\n";

TestStore::TestStore(const std::string& name)
    : rootPath("/tmp/" + name)
{
    if (std::getenv("NIMBREL_IN_NS") == nullptr)
        throw std::runtime_error("store tests must run under scripts/ns-run");
    shell("rm -rf " + shellQuote(rootPath));
    writeFile(path("tools/menu.org"), menuHead, 0755);
    writeFile(path("tools/go"), "#!/bin/sh\nexec /sbin/init\n", 0755);
    writeFile(path("tools/chroot"), "#!/bin/sh\ncd \"$1\" && exec chroot \"$1\" \"$2\"\n", 0755);
    writeFile(path("tools/du"), "#!/bin/sh\nexec du -k \"$@\"\n", 0755);
    writeFile("/tmp/org", rootPath + "\n");
    mpoint = rootPath;
}

LoopDisk::LoopDisk(const std::string& name, const std::string& size, const std::string& mkfs)
    : mountPoint("/tmp/" + name)
    , diskFile("/tmp/" + name + ".disk")
{
    if (shell("truncate -s " + size + " " + diskFile + " && " + mkfs + " " + diskFile + " && mkdir " +
            mountPoint + " && mount -o loop " + diskFile + " " + mountPoint) != 0)
        throw std::runtime_error("cannot make the disk " + diskFile);
}

LoopDisk::~LoopDisk()
{
    shell("umount " + mountPoint + "; rm -rf " + mountPoint + " " + diskFile);
}

const std::string& LoopDisk::disk() const
{
    return diskFile;
}

TestStore::~TestStore()
{
    shell("rm -rf " + shellQuote(rootPath) + " /tmp/org");
}

const std::string& TestStore::root() const
{
    return rootPath;
}

std::string TestStore::path(const std::string& relative) const
{
    return rootPath + "/" + relative;
}

void TestStore::addSlot(int slot, const std::string& info) const
{
    writeFile(path("image/" + std::to_string(slot) + "/Image.info"), info);
}

void TestStore::addCorruptedSlot(int slot) const
{
    shell("mkdir -p " + shellQuote(path("image/" + std::to_string(slot))));
}

std::string slotTree(const std::string& dir)
{
    namespace fs = std::filesystem;
    std::vector<std::string> entries;
    std::error_code error;
    for (fs::recursive_directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename(), entry = it->path().string().substr(dir.size());
        if (name == "Image.info" || name == "Image.info.new")
            continue;
        struct stat st;
        lstat(it->path().c_str(), &st);
        entry += " " + std::to_string(st.st_mode);
        if (it->is_symlink())
            entry += " -> " + fs::read_symlink(it->path(), error).string();
        else if (it->is_regular_file())
            entry += " " + std::to_string(std::hash<std::string>()(readFile(it->path())));
        entries.push_back(entry);
    }
    std::sort(entries.begin(), entries.end());
    std::string tree;
    for (const std::string& entry : entries)
        tree += entry + "\n";
    return tree;
}

namespace {

// The faults of the boot menu pair; COMPLETE tells whether a slot is complete.
template <class Complete>
std::string menuFaults(const std::string& root, Complete complete)
{
    std::string faults, head = readFile(root + "/tools/menu.org");
    std::string menu = readFile(root + "/tools/menu"), line;
    if (menu.compare(0, head.size(), head) != 0 || (!menu.empty() && menu.back() != '\n'))
        faults += "tools/menu is no head with whole lines\n";
    std::istringstream lines(menu.substr(std::min(head.size(), menu.size())));
    int entries = 0, last = -1;
    for (int entry = 0, slot = 0; std::getline(lines, line); last = slot) {
        char extra;
        if (std::sscanf(line.c_str(), "test \"$RC\" -eq %d && $mpoint/tools/chroot $mpoint/image/%d ../go%c",
                &entry, &slot, &extra) != 2 || entry != ++entries || slot <= last)
            return faults + "bad start line " + line + "\n";
        if (!complete(slot))
            faults += "a start line leads to incomplete slot " + std::to_string(slot) + "\n";
    }
    // The five lines as they must be, given the items and colour they hold.
    std::string config = readFile(root + "/tools/lcdmenu.conf");
    auto value = [&](const std::string& key) {
        size_t at = config.find("\n" + key + "="), from = at + key.size() + 2;
        return at == std::string::npos ? std::string() : config.substr(from, config.find('\n', from) - from);
    };
    std::string items = value("menu_items"), wanted = "default_entry=0\nline_spacing=" +
        std::to_string(entries + 1) + "\nmenu_items=" + items + "\ntext_align=0\nmenu_color=" + value("menu_color") + "\n";
    if (config != wanted || items.compare(0, 11, "TovraImage,") != 0 ||
        std::count(items.begin(), items.end(), ',') != entries + 1 || items.back() != ',')
        faults += "tools/lcdmenu.conf does not go with tools/menu\n";
    return faults;
}

} // namespace

std::string storeFaults(const std::string& root, const std::vector<std::string>& complete,
    const std::string& image)
{
    std::string trees[10];
    auto tree = [&](int slot) -> const std::string& {
        if (trees[slot].empty())
            trees[slot] = slotTree(root + "/image/" + std::to_string(slot));
        return trees[slot];
    };
    auto isComplete = [&](int slot) {
        return std::find(complete.begin(), complete.end(), tree(slot)) != complete.end();
    };
    std::string faults = menuFaults(root, isComplete);
    bool holdsImage = image.empty() || pathExists(root + "/" + image);
    for (int slot = 0; slot < 10; ++slot) {
        std::string info = root + "/image/" + std::to_string(slot) + "/Image.info";
        std::string name = readFile(info);
        bool oneNameLine = name.compare(0, 5, "name=") == 0 && name.find('\n') == name.size() - 1;
        if (pathExists(info) && (!isComplete(slot) || !oneNameLine))
            faults += "slot " + std::to_string(slot) + " is installed but not complete\n";
        holdsImage = holdsImage || (pathExists(info) && tree(slot) == complete.at(0));
    }
    return holdsImage ? faults : faults + image + " is lost\n";
}

std::string leftovers(const std::string& root)
{
    return capture("cd " + shellQuote(root) + " && ls -d image/.install-* image/*/Image.info.new tools/*.new"
        " squashfs.img 2>/dev/null; mountpoint -q /tmp/image && echo /tmp/image mounted");
}

std::string runHost(const std::string& store, const std::string& keys, const std::string& env)
{
    return capture(env + " setsid -w " + shellQuote(std::string(NIMBREL_BUILD) + "/nimbrel-host") +
        " --store " + shellQuote(store) + " --keys " + shellQuote(keys) + " 2>/dev/null; echo exit=$?");
}
