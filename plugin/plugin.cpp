#include <optional>
#include <sys/stat.h>

#include "host/eskin.h"
#include "plugin/globals.h"
#include "plugin/install.h"
#include "plugin/message.h"
#include "plugin/plugin.h"
#include "store/durable.h"
#include "store/storeline.h"
#include "store/streams.h"

// Kept from one call of plugin_exec to the next, as the store's context.
int fd = 0;

namespace {

// Sets mpoint from the first line of /tmp/org. A missing file leaves it as
// it was; a file without a first line empties it.
void readMountPoint()
{
    if (std::optional<eString> line = readStoreLine())
        mpoint = *line;
}

} // namespace

extern "C" int plugin_exec(void*)
{
    StandardStreams streams;
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
