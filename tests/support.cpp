#include "tests/support.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "pchost/boxlike/boxprocess.h"
#include "plugin/globals.h"
#include "store/descriptor.h"
#include "store/shell.h"

namespace fs = std::filesystem;

std::string readFile(const std::string& path)
{
    std::error_code error;
    if (!fs::is_regular_file(path, error))  // a pipe is never waited for
        return "";
    std::ostringstream content;
    content << std::ifstream(path, std::ios::binary).rdbuf();  // a directory reads as nothing
    return content.str();
}

void writeFile(const std::string& path, const std::string& content, mode_t mode)
{
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    if (!out || chmod(path.c_str(), mode) != 0)
        throw std::runtime_error("cannot write " + path);
}

bool pathExists(const std::string& path) { return fs::symlink_status(path).type() != fs::file_type::not_found; }

int fileMode(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : -1;
}

int shell(const std::string& line)
{
    // The status comes back as text: this process reaps or ignores its
    // children as the box's host does, so system() could not tell it. LINE
    // writes to standard error, and what it leaves running keeps no pipe.
    std::string status = capture("exec 3>&1 >&2; (\n" + line + "\n) 3>&-; echo $? >&3");
    char* end = nullptr;
    long value = std::strtol(status.c_str(), &end, 10);
    return end != status.c_str() && std::string(end) == "\n" ? static_cast<int>(value) : -1;
}

// Not popen: the C library's needs pipe2, which the box's kernel lacks.
std::string capture(const std::string& line)
{
    int ends[2];
    pid_t pid = makePipe(ends) ? fork() : -1;
    if (pid == 0) {
        dup2(ends[1], STDOUT_FILENO);
        execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    Descriptor out(pid < 0 ? -1 : ends[0]), in(pid < 0 ? -1 : ends[1]);
    in.close();
    if (pid < 0)
        throw std::runtime_error("cannot run " + line);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(out.get(), buffer, sizeof buffer)) != 0;) {
        if (n > 0)
            text.append(buffer, static_cast<size_t>(n));
        else if (errno != EINTR)
            break;
    }
    waitpid(pid, nullptr, 0);  // unchecked: the box's conditions may reap it first
    return text;
}

LoopDisk::LoopDisk(const std::string& name, const std::string& size, const std::string& mkfs)
    : mountPoint("/tmp/" + name), diskFile("/tmp/" + name + ".disk")
{
    if (shell("truncate -s " + size + " " + diskFile + " && " + mkfs + " " + diskFile + " && mkdir " +
            mountPoint + " && mount -o loop " + diskFile + " " + mountPoint) != 0)
        throw std::runtime_error("cannot make the disk " + diskFile);
}

LoopDisk::~LoopDisk() { shell("umount " + mountPoint + "; rm -rf " + mountPoint + " " + diskFile); }

const std::string& LoopDisk::disk() const { return diskFile; }

const char* const TestStore::menuHead = "#!/bin/sh\nRC=$1\nmpoint=/hdd\n";

// Read at the start: the box's conditions leave PATH alone in the environment.
const bool inPrivateNamespace = std::getenv("NIMBREL_IN_NS") != nullptr;
const bool emulatedCpu = std::getenv("NIMBREL_EMULATED") && std::string(std::getenv("NIMBREL_EMULATED")) == "1";

TestStore::TestStore(const std::string& name)
    : rootPath("/tmp/" + name)
{
    if (!inPrivateNamespace)
        throw std::runtime_error("store tests must run under scripts/ns-run");
    fs::remove_all(rootPath);
    for (const auto& [tool, script] : {std::pair{"menu.org", menuHead}, {"go", "#!/bin/sh\nexec /sbin/init\n"},
             {"chroot", "#!/bin/sh\ncd \"$1\" && exec chroot \"$1\" \"$2\"\n"},
             {"du", "#!/bin/sh\nexec du -k \"$@\"\n"}})
        writeFile(path("tools/") + tool, script, 0755);
    writeFile("/tmp/org", rootPath + "\n");
    mpoint = rootPath;
}

TestStore::~TestStore() { shell("rm -rf " + shellQuote(rootPath) + " /tmp/org"); }

const std::string& TestStore::root() const { return rootPath; }

std::string TestStore::path(const std::string& relative) const { return rootPath + "/" + relative; }

void TestStore::addSlot(int slot, const std::string& info) const
{
    writeFile(path("image/" + std::to_string(slot) + "/Image.info"), info);
}

void TestStore::addCorruptedSlot(int slot) const { fs::create_directories(path("image/" + std::to_string(slot))); }

namespace {

// As ls -l shows it: type, then rwx with setuid, setgid and sticky.
std::string symbolicMode(mode_t mode)
{
    std::string text = S_ISDIR(mode) ? "d" : S_ISLNK(mode) ? "l" : S_ISFIFO(mode) ? "p" : S_ISSOCK(mode) ? "s"
        : S_ISCHR(mode) ? "c" : S_ISBLK(mode) ? "b" : "-";
    const char* special[] = {"sS", "sS", "tT"};
    for (int who = 0; who < 3; ++who) {
        int bits = (mode >> (6 - 3 * who)) & 7;
        text += bits & 4 ? 'r' : '-';
        text += bits & 2 ? 'w' : '-';
        bool extra = mode & (04000 >> who);
        text += extra ? special[who][bits & 1 ? 0 : 1] : bits & 1 ? 'x' : '-';
    }
    return text;
}

// FNV-1a of a file's bytes: trees are compared within one run, never stored.
std::string contentHash(const std::string& path)
{
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char byte : readFile(path))
        hash = (hash ^ byte) * 1099511628211ull;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

} // namespace

void addTreeLines(const std::string& path, const std::string& shown,
    const std::function<bool(const std::string&)>& leftOut, std::vector<std::string>& lines)
{
    // In this process, not through find and sort: the crash tests take
    // trees hundreds of times, and under an emulated CPU each command costs.
    struct stat st;
    if (leftOut(path) || lstat(path.c_str(), &st) != 0)
        return;
    std::error_code error;
    std::string target = S_ISLNK(st.st_mode) ? fs::read_symlink(path, error).string() : "";
    lines.push_back(shown + " " + symbolicMode(st.st_mode) + " " + target);
    if (S_ISREG(st.st_mode))
        lines.push_back(contentHash(path) + "  " + shown);
    if (S_ISDIR(st.st_mode))
        for (const fs::directory_entry& entry : fs::directory_iterator(path, error)) {
            std::string name = entry.path().filename().string();
            addTreeLines(path + "/" + name, shown + "/" + name, leftOut, lines);
        }
}

std::string sortedText(std::vector<std::string> lines)
{
    std::sort(lines.begin(), lines.end());
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

std::string slotTree(const std::string& dir)
{
    // Paths relative to DIR, so that two slots holding one image compare equal.
    // The details differ by the time of each installation.
    auto details = [](const std::string& path) {
        std::string name = fs::path(path).filename().string();
        return name.rfind("Image.info", 0) == 0 || name.rfind("Image.details", 0) == 0;
    };
    std::vector<std::string> lines;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, error)) {
        std::string name = entry.path().filename().string();
        addTreeLines(dir + "/" + name, "./" + name, details, lines);
    }
    return sortedText(lines);
}

// The entry tools/lcdmenu.conf must make the default beside a script that
// starts STARTS: the one that starts the remembered slot, else 0.
std::string defaultEntry(const std::string& root, const std::vector<int>& starts)
{
    std::string chosen = readFile(root + "/tools/default.slot");
    auto at = std::find(starts.begin(), starts.end(), chosen.size() == 2 ? chosen[0] - '0' : -1);
    return std::to_string(at == starts.end() ? 0 : at - starts.begin() + 1);
}

std::string storeFaults(const std::string& root, const std::vector<std::string>& complete,
    const std::string& image, bool stopped)
{
    std::map<int, std::string> trees;  // each slot's taken once
    auto tree = [&](int slot) -> const std::string& {
        auto known = trees.find(slot);
        return known != trees.end() ? known->second
                                    : trees[slot] = slotTree(root + "/image/" + std::to_string(slot));
    };
    auto isComplete = [&](int slot) { return std::count(complete.begin(), complete.end(), tree(slot)) > 0; };
    std::string faults, line, head = readFile(root + "/tools/menu.org"), menu = readFile(root + "/tools/menu");
    // A head without its last line end gets one before the start lines.
    bool joined = !head.empty() && head.back() != '\n' && menu.size() > head.size();
    size_t body = std::min(head.size() + joined, menu.size());
    if (menu.compare(0, head.size(), head) != 0 || (joined && menu[head.size()] != '\n') ||
        (menu.size() > head.size() && menu.back() != '\n'))
        faults += "tools/menu is no head with whole lines\n";
    std::istringstream lines(menu.substr(body));
    std::vector<int> starts;  // the slot of entry 1, 2, ...
    const char* startLine = "test \"$RC\" -eq %d && $mpoint/tools/chroot $mpoint/image/%d ../go%c";
    for (int entry = 0, slot = 0; std::getline(lines, line); starts.push_back(slot)) {
        char extra;
        if (std::sscanf(line.c_str(), startLine, &entry, &slot, &extra) != 2 ||
            entry != static_cast<int>(starts.size()) + 1 || slot > 9 || slot <= (starts.empty() ? -1 : starts.back()))
            return faults + "bad start line " + line + "\n";
    }
    // Each entry N starts the slot named by item N, or no entry starts any.
    std::string text = readFile(root + "/tools/lcdmenu.conf"), field[5];
    std::istringstream confLines(text);
    for (std::string& value : field)
        std::getline(confLines, value);
    std::string items = field[2].substr(std::min<size_t>(11, field[2].size()));
    size_t count = std::count(items.begin(), items.end(), ',');
    int entry = field[0].rfind("default_entry=", 0) == 0 ? std::atoi(field[0].c_str() + 14) : -1;
    bool defaultRight = starts.empty() ? entry >= 0 :
        stopped ? entry >= 0 && entry <= static_cast<int>(starts.size()) :
                  field[0] == "default_entry=" + defaultEntry(root, starts);
    if (std::count(text.begin(), text.end(), '\n') != 5 || text.back() != '\n' || !defaultRight ||
        field[1] != "line_spacing=" + std::to_string(count) || field[2].compare(0, 22, "menu_items=TovraImage,") ||
        items.back() != ',' || field[3] != "text_align=0" || field[4].compare(0, 11, "menu_color=") ||
        (!starts.empty() && count != starts.size() + 1))
        faults += "tools/lcdmenu.conf is not whole or does not go with tools/menu\n";
    std::istringstream item(items.substr(std::min<size_t>(11, items.size())));
    for (size_t entry = 0; entry < starts.size() && std::getline(item, line, ','); ++entry)
        if ("name=" + line + "\n" != readFile(root + "/image/" + std::to_string(starts[entry]) + "/Image.info"))
            faults += "entry " + std::to_string(entry + 1) + " starts a slot not named " + line + "\n";
    bool holdsImage = image.empty() || pathExists(root + "/" + image);
    for (int slot = 0; slot < 10; ++slot) {
        std::string info = root + "/image/" + std::to_string(slot) + "/Image.info", name = readFile(info);
        std::error_code error;
        bool installed = fs::is_regular_file(info, error);
        if (installed && (!isComplete(slot) || name.compare(0, 5, "name=") || name.find('\n') != name.size() - 1))
            faults += "slot " + std::to_string(slot) + " is installed but not complete\n";
        holdsImage = holdsImage || (installed && tree(slot) == complete.at(0));
        if (!installed && readFile(root + "/tools/default.slot") == std::to_string(slot) + "\n")
            faults += "tools/default.slot names slot " + std::to_string(slot) + ", which is not installed\n";
    }
    return holdsImage ? faults : faults + image + " is lost\n";
}

void makeLinkLayout(const std::string& tools)
{
    shell("cd " + shellQuote(tools) + " && mkdir bootmenu.1 && mv menu lcdmenu.conf bootmenu.1 && ln -s bootmenu.1 "
        "bootmenu && ln -s bootmenu/menu menu && ln -s bootmenu/lcdmenu.conf lcdmenu.conf && sync");
}

std::string leftovers(const std::string& root)
{
    return capture("cd " + shellQuote(root) + " && ls -d image/.install-[0-9] image/[0-9]/Image.info.new"
        " .cut-[0-9] .checked-[0-9] 2>/dev/null;"
        " find tools -mindepth 1 -maxdepth 1 \\( -name '*.new' -o -name 'bootmenu*' -o -type l \\) -print;"
        " mountpoint -q /tmp/image && echo /tmp/image mounted");
}

std::string shownAt(const std::string& snap, int x, int y, int columns, int lines)
{
    size_t width = snap.find('\n') + 1;
    std::string shown;
    for (int line = y / 16; line < y / 16 + lines; ++line) {
        std::string cells = snap.substr(line * width + x / 8, columns);
        shown += (line == y / 16 ? "" : "\n") + cells.erase(cells.find_last_not_of(' ') + 1);
    }
    return shown;
}

std::string runHost(const std::string& store, const std::string& keys, const std::string& env, bool boxLike)
{
    if (keys.rfind("cli ", 0) == 0)
        return capture("cd " + shellQuote(store) + " && " + env + " setsid -w " + shellQuote(NIMBREL_BUILD "/nimbrel") +
            " --store " + shellQuote(store) + " " + keys.substr(4) + " 2>&1; echo exit=$?");
    std::string box = boxLike ? " --box " + shellQuote(boxConditions()) : "";
    return capture(env + " setsid -w " + shellQuote(NIMBREL_BUILD "/nimbrel-host") + box + " --store " +
        shellQuote(store) + " --keys " + shellQuote(keys) + " 2>/dev/null; echo exit=$?");
}

std::string preloadShim(const std::string& settings)
{
    // LD_PRELOAD splits at blanks, so it names a copy in the private /tmp;
    // an ASan host would refuse it before its runtime.
    shell("[ -e /tmp/crashshim.so ] || cp " + shellQuote(NIMBREL_BUILD "/test-plugins/crashshim.so") + " /tmp");
    return "ASAN_OPTIONS=verify_asan_link_order=0 LD_PRELOAD=/tmp/crashshim.so " + settings;
}

const std::string& boxConditions()
{
    static const std::string conditions = [] {
        const char* set = std::getenv("NIMBREL_BOX");
        return std::string(set && *set ? set : "reaper,closed,077");
    }();
    return conditions;
}

namespace {

// Every test program runs as the box's host does (but for its standard
// streams, which carry the tests' own output).
class BoxLikeTests : public ::testing::Environment {
public:
    void SetUp() override
    {
        std::optional<BoxConditions> conditions = parseBoxConditions(boxConditions());
        if (!conditions)
            throw std::runtime_error("bad NIMBREL_BOX: " + boxConditions());
        process = std::make_unique<BoxLikeProcess>(*conditions, false);
    }
    void TearDown() override { process.reset(); }

private:
    std::unique_ptr<BoxLikeProcess> process;
};

// Read before the conditions clear the environment.
const std::string& conditionsRead = boxConditions();
::testing::Environment* const boxLike = ::testing::AddGlobalTestEnvironment(new BoxLikeTests);

} // namespace

bool sampled(int index, int every)
{
    static const bool said = emulatedCpu &&
        (std::cout << "emulated CPU: a fixed sample of the table (each case whose index is a multiple of " << every
                   << ")\n", true);
    (void)said;
    return !emulatedCpu || index % every == 0;
}

int stepStride()
{
    static const bool said = emulatedCpu && (std::cout << "emulated CPU: killed at steps 1, 4, 7, ... only\n", true);
    (void)said;
    return emulatedCpu ? 3 : 1;
}
