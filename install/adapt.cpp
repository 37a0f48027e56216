#include "install/adapt.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/stat.h>

#include "install/slotpath.h"
#include "store/context.h"
#include "store/durable.h"
#include "store/handles.h"
#include "store/shell.h"

namespace fs = std::filesystem;

namespace {

eString keptPath(const eString& slot, const char* path)
{
    return pathInSlot(slot, path, LastLink::Keep);
}

// Replaces every occurrence of FROM in TEXT by "#", left to right, as
// sed's s/FROM/#/g does on each line.
void commentOut(std::string& text, const std::string& from)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + 1))
        text.replace(at, from.size(), "#");
}

// The start script with its jffs2 mounts turned into comments: the full
// path first, or "/bin/" would stay in front of the "#".
std::string withoutJffs2Mounts(std::string script)
{
    commentOut(script, "/bin/mount -t jffs2");
    commentOut(script, "mount -t jffs2");
    return script;
}

bool moveVarInit(const eString& slot)
{
    if (!isDirectory(pathInSlot(slot, "var_init", LastLink::Follow)))
        return true;
    eString init = keptPath(slot, "var_init/tmp/init");
    // var goes first: the move would put var_init inside it.
    return !init.empty() && removeTree(keptPath(slot, "var")) && removeTree(init) &&
        std::rename(keptPath(slot, "var_init").c_str(), keptPath(slot, "var").c_str()) == 0;
}

bool copyGo(const eString& slot)
{
    std::string go;
    unsigned mode = 0;
    return readWholeFile(mpoint + "/tools/go", go, mode) && writeFreshFile(keptPath(slot, "go"), go, mode);
}

bool patchStartScript(const eString& slot)
{
    // A device or a pipe in its place is no script to patch.
    eString dir = pathInSlot(slot, "etc/init.d", LastLink::Follow);
    if (dir.empty() || !isRegularFile(pathInSlot(slot, "etc/init.d/rcS", LastLink::Follow)))
        return true;
    eString script = dir + "/rcS", original = dir + "/rcS_org", between = dir + "/rcS1";
    std::string text;
    unsigned mode = 0;
    // Written beside and renamed: rcS is whole or not there.
    return removeTree(original) && removeTree(between) && std::rename(script.c_str(), original.c_str()) == 0 &&
        readWholeFile(pathInSlot(slot, "etc/init.d/rcS_org", LastLink::Follow), text, mode) &&
        writeFreshFile(between, withoutJffs2Mounts(text), 0755) && std::rename(between.c_str(), script.c_str()) == 0;
}

bool copySettings(const eString& slot)
{
    if (!haveSettings())
        return true;  // the image keeps its own
    eString settings = keptPath(slot, "var/tuxbox/config/enigma"), fresh = settings + ".new";
    std::error_code error;
    if (settings.empty() || !removeTree(fresh))
        return false;
    fs::create_directories(fs::path(settings.c_str()).parent_path(), error);
    // The image's own go only once the copy is whole beside them.
    return !error && makeDirectory(fresh, 0755) &&
        runFormatted("cp -a /var/tuxbox/config/enigma/* %s", fresh) && removeTree(settings) &&
        std::rename(fresh.c_str(), settings.c_str()) == 0;
}

} // namespace

bool haveSettings()
{
    DirHandle dir = openDir("/var/tuxbox/config/enigma");
    while (const dirent* entry = dir ? readdir(dir.get()) : nullptr) {
        if (entry->d_name[0] != '.')
            return true;
    }
    return false;
}

const char* makeStartable(const eString& slot, bool withSettings)
{
    if (!moveVarInit(slot))
        return "could not move var_init";
    if (!copyGo(slot))
        return "could not copy go";
    if (!patchStartScript(slot))
        return "could not patch rcS";
    if (withSettings && !copySettings(slot))
        return "could not copy settings";
    return nullptr;
}
