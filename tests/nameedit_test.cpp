#include <gtest/gtest.h>

#include "pchost/front/session.h"
#include "plugin/globals.h"
#include "plugin/menucolor.h"
#include "store/nameedit.h"
#include "tests/images.h"
#include "tests/support.h"

namespace {

// tools/menu (with HEAD, start lines for entries 1, 2, ... and SLOTS), a
// "|" and tools/lcdmenu.conf with ITEMS and COLOUR, as nameedit writes them.
std::string bootMenu(const std::string& head, const std::vector<int>& slots, const std::string& items,
    const std::string& colour)
{
    std::string menu = head;
    for (size_t entry = 1; !head.empty() && entry <= slots.size(); ++entry)
        menu += "test \"$RC\" -eq " + std::to_string(entry) + " && $mpoint/tools/chroot $mpoint/image/" +
            std::to_string(slots[entry - 1]) + " ../go\n";
    return menu + "|default_entry=0\nline_spacing=" + std::to_string(slots.size() + 1) + "\nmenu_items=" +
        items + "\ntext_align=0\nmenu_color=" + colour + "\n";
}

// The boot menu of STORE as bootMenu gives it.
std::string bootMenuOf(const TestStore& store)
{
    return readFile(store.path("tools/menu")) + "|" + readFile(store.path("tools/lcdmenu.conf"));
}

TEST(Nameedit, ReplacesThePairWithAStartLineAndItemPerInstalledSlot)
{
    TestStore store;
    std::vector<std::pair<int, std::string>> ten;
    std::string tenItems = "TovraImage,";
    for (int slot = 0; slot < 10; ++slot, tenItems += ten.back().second.substr(5, 200) + ",")
        ten.push_back({slot, "name=" + std::string(200, 'a' + slot) + "\n"});
    const struct {
        std::vector<std::pair<int, std::string>> slots;  // Image.info; empty: corrupted
        std::string more;  // " && COMMAND" run in image/
        std::vector<int> listed;
        std::string items;
    } cases[] = {
        {{}, "", {}, "TovraImage,"},
        // No name line gives a blank item.
        {{{0, "other=1\n"}, {2, ""}, {5, "name=Sat 1.0\n"}}, "", {0, 5}, "TovraImage,,Sat 1.0,"},
        // Slot order, not age; other entries are never looked at.
        {{{9, "name=Last\n"}, {3, "name=First\n"}}, " && mkdir 03 10 && echo name=Ten >10/Image.info && touch 4",
            {3, 9}, "TovraImage,First,Last,"},
        // A control character ends a name and a comma is a blank, so no item shifts.
        {{{1, std::string("name=a\0b\n", 9)}, {2, "name=c\rd\n"}, {3, "name=e,f\n"}}, "", {1, 2, 3},
            "TovraImage,a,c,e f,"},
        {ten, "", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, tenItems},
    };
    shell("cd " + store.path("tools") + " && echo old script >menu && echo hand_edited=1 >lcdmenu.conf");
    color = "4";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.items);
        shell("rm -rf " + store.path("image"));
        for (const auto& [slot, info] : c.slots)
            info.empty() ? store.addCorruptedSlot(slot) : store.addSlot(slot, info);
        shell("cd " + store.path("image") + " 2>/dev/null" + c.more);
        EXPECT_TRUE(nameedit());
        EXPECT_EQ(bootMenuOf(store), bootMenu(TestStore::menuHead, c.listed, c.items, "4"));
        EXPECT_EQ(fileMode(store.path("tools/menu")), 0755);
    }
    // Without its head a start line could start nothing. A stopped run's
    // scratch file goes, also beside a file that is kept.
    shell("cd " + store.path("tools") + " && rm menu.org && touch lcdmenu.conf.new");
    EXPECT_TRUE(nameedit());
    EXPECT_EQ(bootMenuOf(store) + leftovers(store.root()), bootMenu("", std::rbegin(cases)->listed, tenItems, "4"));
    shell("mkfifo " + store.path("tools/menu.org"));  // no head, and no writer waited for
    EXPECT_FALSE(nameedit());
    shell("rm " + store.path("tools/menu.org"));
    // Scratch files that cannot be made (mount points there) or a directory
    // where the script goes: false, the configuration stays, the script is
    // the old one or its head alone, and no scratch file is left.
    writeFile(store.path("tools/menu.org"), TestStore::menuHead);
    color = "5";
    for (const auto& [trap, menu] : {std::pair{"menu.new", ""}, {"lcdmenu.conf.new", TestStore::menuHead},
             {"menu", ""}}) {
        const std::string path = store.path("tools/") + trap, conf = readFile(store.path("tools/lcdmenu.conf"));
        shell("rm -f " + path + " && mkdir " + path + " && mount -t tmpfs trap " + path);
        EXPECT_FALSE(nameedit());
        EXPECT_EQ(readFile(store.path("tools/menu")) + "|" + readFile(store.path("tools/lcdmenu.conf")),
            menu + std::string("|") + conf);
        shell("umount " + path + " && rmdir " + path);
        EXPECT_EQ(leftovers(store.root()), "");
    }
    // An earlier version's links into bootmenu.1 become plain files again,
    // and a head that finds the store from its own path starts the entry's
    // slot; what a user keeps under the link layout's names stays.
    writeFile(store.path("tools/menu.org"),
        "#!/bin/sh\nRC=$1\nmpoint=$(cd \"$(dirname \"$(readlink -f \"$0\")\")/..\" && pwd)\n", 0755);
    writeFile(store.path("tools/chroot"), "#!/bin/sh\necho \"$@\"\n", 0755);
    EXPECT_TRUE(nameedit());
    const std::string whole = bootMenuOf(store), tools = store.path("tools");
    makeLinkLayout(tools);
    shell("mkdir " + tools + "/bootmenu.2 && touch " + tools + "/bootmenu.2/menu");
    EXPECT_TRUE(nameedit());
    EXPECT_EQ(bootMenuOf(store) + leftovers(store.root()), whole);
    EXPECT_EQ(fileMode(tools + "/menu"), 0755);
    EXPECT_EQ(fileMode(tools + "/lcdmenu.conf"), 0644);
    EXPECT_EQ(capture("cd / && " + tools + "/menu 2"), store.path("image/1") + " ../go\n");
    shell("cd " + tools + " && echo mine >bootmenu && mkdir -p bootmenu.1/menu bootmenu.2 && touch bootmenu.2/menu "
          "bootmenu.2/notes");
    const std::string mine = fingerprint({tools + "/bootmenu", tools + "/bootmenu.1", tools + "/bootmenu.2"}, {});
    color = "6";
    EXPECT_TRUE(nameedit());
    EXPECT_EQ(fingerprint({tools + "/bootmenu", tools + "/bootmenu.1", tools + "/bootmenu.2"}, {}), mine);
}

TEST(Menucolor, LeavingWritesTheChosenOrTheKeptColourIntoANewBootMenu)
{
    TestStore store;
    store.addSlot(1, "name=One\n");
    // Entry N (from 0) is colour N + 2; leaving without a choice keeps the disk's colour.
    std::vector<std::array<std::string, 3>> cases = {{"down exit", "6", "6"}, {"exit", "", ""}};
    std::string keys, first;
    for (int entry = 0; entry < 7; ++entry, keys += "down ")
        cases.push_back({keys + "ok", "7", std::to_string(entry + 2)});
    for (const auto& [keys, before, code] : cases) {
        SCOPED_TRACE(keys);
        color = before;
        writeFile(store.path("tools/lcdmenu.conf"), "menu_color=" + before + "\n");
        pchost::startScript("snap " + keys);
        Menucolor window;
        window.show();
        EXPECT_EQ(window.exec(), 0);
        EXPECT_EQ(bootMenuOf(store), bootMenu(TestStore::menuHead, {1}, "TovraImage,One,", code));
        EXPECT_TRUE(pchost::shownMessages().empty());
        first = first.empty() ? pchost::snaps().at(0) : first;
        EXPECT_EQ(pchost::snaps().at(0), first);  // no entry is marked for the colour
    }
    // The list where the window asks: client area at (280, 150), list at (10, 10).
    EXPECT_EQ(shownAt(first, 290, 160, 16, 7), "> green\n  cyan\n  red\n  magenta\n  orange\n  white\n  gray");
}

} // namespace
