#include "store/nameedit.h"

#include "plugin/globals.h"
#include "store/handles.h"
#include "store/shell.h"
#include "store/slots.h"

namespace {

eString toolsPath(const char* file)
{
    eString path;
    return path.sprintf("%s/tools/%s", mpoint.c_str(), file);
}

// Starts tools/menu afresh from its head. Without a head the old script is
// emptied instead, so that no stale start lines survive beside the new ones.
void resetMenuScript()
{
    if (!runFormatted("cp %s/tools/menu.org %s/tools/menu", mpoint, mpoint))
        openFile(toolsPath("menu"), "w");  // opened only to truncate
}

void appendStartLine(int entry, int slot)
{
    FileHandle script = openFile(toolsPath("menu"), "a");
    if (script)
        std::fprintf(script.get(),
            "test \"$RC\" -eq %d && $mpoint/tools/chroot $mpoint/image/%d ../go\n", entry, slot);
}

void writeMenuConfig(int entries, const eString& items)
{
    FileHandle config = openFile(toolsPath("lcdmenu.conf"), "w");
    if (config)
        std::fprintf(config.get(),
            "default_entry=0\nline_spacing=%d\nmenu_items=%s\ntext_align=0\nmenu_color=%s\n",
            entries, items.c_str(), color.c_str());
}

} // namespace

void nameedit()
{
    eString items = "TovraImage,";
    int entry = 1;
    resetMenuScript();
    for (int slot = 0; slot < slotCount; ++slot) {
        if (probeSlot(slot) != SlotState::Installed)
            continue;
        appendStartLine(entry, slot);
        items += slotName(slot) + ",";
        ++entry;
    }
    writeMenuConfig(entry, items);
    runFormatted("chmod 755 %s/tools/menu", mpoint);  // best effort, like the copy
}
