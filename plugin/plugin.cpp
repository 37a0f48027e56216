#include <cstring>
#include <sys/stat.h>

#include "host/eskin.h"
#include "plugin/globals.h"
#include "plugin/install.h"
#include "plugin/message.h"
#include "plugin/plugin.h"
#include "store/durable.h"
#include "store/handles.h"

// Constructed in this order when the library loads; they keep their values
// from one call of plugin_exec to the next.
eString color;
eString mpoint;
int fd = 0;

namespace {

// Sets mpoint from the first line of /tmp/org. A missing file leaves it as
// it was; a file without a first line empties it.
void readMountPoint()
{
    FileHandle org = openFile("/tmp/org", "r");
    if (!org)
        return;
    char line[1024];
    if (!std::fgets(line, sizeof line, org.get())) {
        mpoint = "";
        return;
    }
    size_t length = std::strlen(line);
    if (length > 0 && line[length - 1] == '\n')
        line[--length] = '\0';
    if (length > 0 && line[length - 1] == '\r')  // written on another system
        line[--length] = '\0';
    mpoint = line;
}

} // namespace

extern "C" int plugin_exec(void*)
{
    readMountPoint();
    if (mpoint.empty()) {
        showMessage("Tovra-Image must be started!", "Nimbrel", 129);
        return 0;
    }
    // A disk that is not mounted would look like an empty store.
    struct stat store;
    if (stat(mpoint.c_str(), &store) != 0 || !S_ISDIR(store.st_mode)) {
        showOutcome(Outcome::refused("image store not found: " + mpoint));
        return 0;
    }
    fd = eSkin::getActive()->queryValue("fontsize", 20);
    eString config;
    config.sprintf("%s/tools/lcdmenu.conf", mpoint.c_str());
    // The host's reader would wait on a pipe there.
    color = isReadableFile(config) ? getInfo(config.c_str(), "menu_color") : eString();

    install menu;
    menu.show();
    menu.exec();  // the menu closes itself with 0
    menu.hide();
    return 0;
}
