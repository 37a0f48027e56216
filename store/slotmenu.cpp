#include "store/slotmenu.h"

#include <sys/stat.h>

#include "store/context.h"
#include "store/controls.h"
#include "store/defaultslot.h"
#include "store/durable.h"
#include "store/slots.h"

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
        if (isControlCharacter(c))
            break;
        item += c == ',' ? ' ' : static_cast<char>(c);
    }
    return item;
}

} // namespace

bool readBootHead(std::string& head, bool* found)
{
    eString org = toolsPath("/menu.org");
    struct stat st;
    unsigned mode = 0;
    bool there = stat(org.c_str(), &st) == 0;
    if (found)
        *found = there;
    head.clear();
    return !there || readWholeFile(org, head, mode, bootHeadLimit);
}

eString toolsDir()
{
    return toolsPath("");
}

bool composeBootMenu(BootMenu& menu, int changed, const eString& name)
{
    bool withHead = false;
    if (!readBootHead(menu.head, &withHead))
        return false;
    menu.script = menu.head;
    eString items = "TovraImage,", line;
    std::optional<int> chosen = defaultSlot();
    int entry = 1, defaultEntry = 0;
    for (int slot = 0; slot < slotCount; ++slot) {
        SlotState state = probeSlot(slot);
        if (slot == changed ? name.empty() || state == SlotState::Free : state != SlotState::Installed)
            continue;
        // A head without its last line end would swallow the first start line.
        if (withHead && !menu.script.empty() && menu.script.back() != '\n')
            menu.script += '\n';
        if (withHead)
            menu.script += line.sprintf(
                "test \"$RC\" -eq %d && $mpoint/tools/chroot $mpoint/image/%d ../go\n", entry, slot);
        items += menuItem(slot == changed ? name : slotName(slot)) + ",";
        if (chosen == slot)
            defaultEntry = entry;
        ++entry;
    }
    menu.config.sprintf("default_entry=%d\nline_spacing=%d\nmenu_items=%s\ntext_align=0\nmenu_color=%s\n",
        defaultEntry, entry, items.c_str(), color.c_str());
    return true;
}

std::optional<Outcome> refuseLargeBootHead()
{
    struct stat st;
    if (stat(toolsPath("/menu.org").c_str(), &st) != 0 || static_cast<size_t>(st.st_size) <= bootHeadLimit)
        return std::nullopt;
    Outcome refused = Outcome::refused("could not write boot menu");
    refused.detail.sprintf("tools/menu.org holds %lld bytes, more than a boot menu's head may (%zu): shorten it",
        static_cast<long long>(st.st_size), bootHeadLimit);
    return refused;
}
