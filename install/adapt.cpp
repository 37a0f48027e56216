#include "install/adapt.h"

#include <cstdio>
#include <string>
#include <sys/stat.h>

#include "install/slotpath.h"
#include "plugin/globals.h"
#include "store/durable.h"
#include "store/handles.h"
#include "store/shell.h"

namespace {

eString keptPath(const eString& slot, const char* path)
{
    return pathInSlot(slot, path, LastLink::Keep);
}

// Whether the running system has settings that "cp DIR/*" would copy.
bool haveSettings()
{
    DirHandle dir = openDir("/var/tuxbox/config/enigma");
    while (const dirent* entry = dir ? readdir(dir.get()) : nullptr) {
        if (entry->d_name[0] != '.')
            return true;
    }
    return false;
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

} // namespace

void moveVarInit(const eString& slot)
{
    if (!isDirectory(pathInSlot(slot, "var_init", LastLink::Follow)))
        return;
    eString init = keptPath(slot, "var_init/tmp/init");
    if (init.empty() || !removeTree(keptPath(slot, "var")) || !removeTree(init))
        return;  // var still there: the move would put var_init inside it
    // Unchecked: the image may still start.
    std::rename(keptPath(slot, "var_init").c_str(), keptPath(slot, "var").c_str());
}

bool copyGo(const eString& slot)
{
    std::string go;
    unsigned mode = 0;
    return readWholeFile(mpoint + "/tools/go", go, mode) && writeFreshFile(keptPath(slot, "go"), go, mode);
}

void patchStartScript(const eString& slot)
{
    // A device or a pipe in its place is no script to patch.
    eString dir = pathInSlot(slot, "etc/init.d", LastLink::Follow);
    if (dir.empty() || !isRegularFile(pathInSlot(slot, "etc/init.d/rcS", LastLink::Follow)))
        return;
    eString script = dir + "/rcS", original = dir + "/rcS_org", between = dir + "/rcS1";
    if (!removeTree(original) || !removeTree(between) ||
        std::rename(script.c_str(), original.c_str()) != 0)
        return;  // the script stays as it came
    std::string text;
    unsigned mode = 0;
    // As on the box, a script that cannot be read leaves an empty rcS.
    if (!readWholeFile(pathInSlot(slot, "etc/init.d/rcS_org", LastLink::Follow), text, mode))
        text.clear();
    // Written beside and renamed: rcS is whole or not there.
    if (writeFreshFile(between, withoutJffs2Mounts(text), 0755))
        std::rename(between.c_str(), script.c_str());  // unchecked: the image may still start
}

void copySettings(const eString& slot)
{
    eString settings = keptPath(slot, "var/tuxbox/config/enigma");
    if (settings.empty() || !haveSettings())
        return;  // the image keeps its own
    // Unchecked: the image starts without the running system's settings too.
    removeTree(settings);
    mkdir(settings.c_str(), 0777);
    runFormatted("cp -a /var/tuxbox/config/enigma/* %s", settings);
}
