#include "cli/storechoice.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

#include "cli/console.h"
#include "commands/refusal.h"
#include "host/eskin.h"
#include "pchost/front/executable.h"
#include "store/context.h"
#include "store/storeline.h"

namespace {

void requireDirectory(const std::string& store, bool fromOption)
{
    struct stat st;
    if (!fromOption && (stat(store.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)))
        throw Refusal("image store not found: " + store);
    if (stat(store.c_str(), &st) != 0)
        throw Refusal("no store at " + store + ": " + std::strerror(errno));
    if (!S_ISDIR(st.st_mode))
        throw Refusal("the store " + store + " is not a directory");
}

} // namespace

void chooseStore(const std::optional<std::string>& option)
{
    std::string store;
    if (option) {
        store = *option;
    } else {
        std::optional<eString> line = readStoreLine();
        if (!line || line->empty())
            throw Refusal("Tovra-Image must be started! (" + std::string(storeLineFile) +
                " names no store; give --store DIR)");
        store = *line;
    }
    requireDirectory(store, option.has_value());
    mpoint = store;
    color = getInfo((mpoint + "/tools/lcdmenu.conf").c_str(), "menu_color");
}

void useMountStandIn()
{
    std::ifstream filesystems("/proc/filesystems");
    std::string all((std::istreambuf_iterator<char>(filesystems)), std::istreambuf_iterator<char>());
    std::string wrappers = pchost::executableDir() + "/pchost-bin";
    struct stat st;
    if (all.find("cramfs") != std::string::npos || stat(wrappers.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return;
    const char* path = std::getenv("PATH");
    std::string newPath = wrappers + (path ? ":" + std::string(path) : "");
    setenv("PATH", newPath.c_str(), 1);
}
