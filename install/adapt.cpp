#include "install/adapt.h"

#include "install/slotpath.h"
#include "plugin/globals.h"
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

} // namespace

void moveVarInit(const eString& slot)
{
    if (!isDirectory(pathInSlot(slot, "var_init", LastLink::Follow)))
        return;
    eString init = keptPath(slot, "var_init/tmp/init");
    if (init.empty() || !runFormatted("rm -rf %s %s", keptPath(slot, "var"), init))
        return;  // var still there: the move would put var_init inside it
    runFormatted("mv %s %s", keptPath(slot, "var_init"), keptPath(slot, "var"));  // unchecked: the image may still start
}

bool copyGo(const eString& slot)
{
    eString go = keptPath(slot, "go");
    return runFormatted("rm -rf %s", go) && runFormatted("cp %s/tools/go %s", mpoint, go);
}

void patchStartScript(const eString& slot)
{
    // A device or a pipe in its place would keep sed reading for ever.
    eString dir = pathInSlot(slot, "etc/init.d", LastLink::Follow);
    if (dir.empty() || !isRegularFile(pathInSlot(slot, "etc/init.d/rcS", LastLink::Follow)))
        return;
    eString script = dir + "/rcS", original = dir + "/rcS_org", between = dir + "/rcS1";
    if (!runFormatted("rm -rf %s %s", original, between) || !runFormatted("mv %s %s", script, original))
        return;  // the script stays as it came
    eString source = pathInSlot(slot, "etc/init.d/rcS_org", LastLink::Follow);
    // Unchecked, as on the box: a script sed cannot read leaves an empty rcS.
    runFormatted("sed -e 's/\\/bin\\/mount -t jffs2/#/g' %s > %s", source, between);
    runFormatted("sed -e 's/mount -t jffs2/#/g' %s > %s", between, script);
    runFormatted("rm %s", between);
    runFormatted("chmod 755 %s", script);
}

void copySettings(const eString& slot)
{
    eString settings = keptPath(slot, "var/tuxbox/config/enigma");
    if (settings.empty() || !haveSettings())
        return;  // the image keeps its own
    // Unchecked: the image starts without the running system's settings too.
    runFormatted("rm -rf %s", settings);
    runFormatted("mkdir %s", settings);
    runFormatted("cp -a /var/tuxbox/config/enigma/* %s", settings);
}
