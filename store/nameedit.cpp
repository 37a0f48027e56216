#include "store/nameedit.h"

#include <string>
#include <sys/stat.h>

#include "store/bootmenu.h"
#include "store/context.h"
#include "store/diskcolor.h"
#include "store/durable.h"
#include "store/imagename.h"
#include "store/slots.h"
#include "store/storecheck.h"

namespace {

eString toolsPath(const char* file)
{
    eString path;
    return path.sprintf("%s/tools%s", mpoint.c_str(), file);
}

// A name as an item of menu_items: it ends at its first control character
// and has blanks for commas, which separate the items. So no name can shift
// the items against the entry numbers of the script's start lines.
std::string menuItem(const eString& name)
{
    std::string item;
    for (unsigned char c : name) {
        if (c < ' ' || c == 0x7f)
            break;
        item += c == ',' ? ' ' : static_cast<char>(c);
    }
    return item;
}

// Reads tools/menu.org into HEAD; FOUND tells whether it was there. False
// when it is there but cannot be read whole: a pipe there, say, which is
// never waited for.
bool readHead(std::string& head, bool& found)
{
    eString org = toolsPath("/menu.org");
    struct stat st;
    unsigned mode = 0;
    found = stat(org.c_str(), &st) == 0;
    return !found || readWholeFile(org, head, mode);
}

// A stopped run may have left SLOT, its name or the name's removal
// unsynced: the menu must not name what a power cut can take back, nor the
// files written next take the inode of a removed name. A stopped rename's
// scratch name goes. Unchecked: the slot is there either way, and the
// pair's own writes meet a failing disk too.
void settle(int slot)
{
    removeStaleNameFile(slot);
    syncDirectory(slotDirPath(slot));
    syncDirectory(imagesDir());
}

} // namespace

bool composeBootMenu(BootMenu& menu)
{
    bool withHead = false;
    if (!readHead(menu.head, withHead))
        return false;
    menu.script = menu.head;
    eString items = "TovraImage,", line;
    int entry = 1;
    for (int slot = 0; slot < slotCount; ++slot) {
        if (probeSlot(slot) != SlotState::Installed)
            continue;
        // A head without its last line end would swallow the first start line.
        if (withHead && !menu.script.empty() && menu.script.back() != '\n')
            menu.script += '\n';
        if (withHead)
            menu.script += line.sprintf(
                "test \"$RC\" -eq %d && $mpoint/tools/chroot $mpoint/image/%d ../go\n", entry, slot);
        items += menuItem(slotName(slot)) + ",";
        ++entry;
    }
    menu.config.sprintf("default_entry=0\nline_spacing=%d\nmenu_items=%s\ntext_align=0\nmenu_color=%s\n",
        entry, items.c_str(), color.c_str());
    return true;
}

bool nameedit()
{
    for (int slot = 0; slot < slotCount; ++slot) {
        if (probeSlot(slot) != SlotState::Free)
            settle(slot);
    }
    followDiskColor();
    BootMenu menu;
    if (!composeBootMenu(menu) || !replaceBootMenu(toolsPath(""), menu.head, menu.script, menu.config))
        return false;
    rememberDiskColor();
    return true;
}

bool withdrawBootMenu()
{
    std::string head;
    bool withHead = false;
    return readHead(head, withHead) && withdrawStartLines(toolsPath(""), head);
}

Outcome bootMenuFailure()
{
    Outcome failure = Outcome::failed("could not write boot menu");
    if (std::optional<Outcome> noTools = refuseWithoutBootTools())
        failure.detail = noTools->message;
    return failure;
}
