#include "tests/support.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>

#include "plugin/globals.h"
#include "store/shell.h"

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

const char* const TestStore::menuHead =
    "#!/bin/sh\n"
    "RC=$1\n"
    "mpoint=/hdd\n";

TestStore::TestStore(const std::string& name)
    : rootPath("/tmp/" + name)
{
    if (std::getenv("NIMBREL_IN_NS") == nullptr)
        throw std::runtime_error("store tests must run under tests/ns-run");
    shell("rm -rf " + shellQuote(rootPath));
    writeFile(path("tools/menu.org"), menuHead, 0755);
    writeFile(path("tools/go"), "#!/bin/sh\nexec /sbin/init\n", 0755);
    writeFile(path("tools/chroot"), "#!/bin/sh\ncd \"$1\" && exec chroot \"$1\" \"$2\"\n", 0755);
    writeFile(path("tools/du"), "#!/bin/sh\nexec du -k \"$@\"\n", 0755);
    writeFile("/tmp/org", rootPath + "\n");
    mpoint = rootPath;
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
