#include <gtest/gtest.h>

#include "manage/menucolor.h"
#include "pchost/front/session.h"
#include "plugin/globals.h"
#include "store/nameedit.h"
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
    // Without its head a start line could start nothing.
    shell("rm " + store.path("tools/menu.org"));
    EXPECT_TRUE(nameedit());
    EXPECT_EQ(bootMenuOf(store), bootMenu("", std::rbegin(cases)->listed, tenItems, "4"));
    // A mount point where the next generation or the switching link goes
    // cannot be replaced: the old pair stays, whole.
    writeFile(store.path("tools/menu.org"), TestStore::menuHead);
    for (const std::string scratch : {"tools/bootmenu.2", "tools/bootmenu.new"}) {
        const std::string old = bootMenuOf(store), trap = store.path(scratch);
        shell("mkdir " + trap + " && mount -t tmpfs trap " + trap);
        EXPECT_FALSE(nameedit());
        EXPECT_EQ(bootMenuOf(store), old);
        shell("umount " + trap + " && rmdir " + trap);
        EXPECT_EQ(leftovers(store.root()), "");
    }
    // Links planted where the generations go are replaced, never written through.
    EXPECT_TRUE(nameedit());
    const std::string whole = bootMenuOf(store);
    shell("mkdir /tmp/elsewhere && touch /tmp/elsewhere/keep && cd " + store.path("tools") +
        " && rm -r bootmenu.* && for link in bootmenu bootmenu.1 bootmenu.2; do ln -sfn /tmp/elsewhere $link; done");
    EXPECT_TRUE(nameedit());
    EXPECT_EQ(bootMenuOf(store), whole);
    EXPECT_EQ(capture("ls -A /tmp/elsewhere && rm -r /tmp/elsewhere") + leftovers(store.root()), "keep\n");
}

TEST(Menucolor, LeavingWritesTheChosenOrTheKeptColourIntoANewBootMenu)
{
    TestStore store;
    store.addSlot(1, "name=One\n");
    // Entry N (from 0) is colour N + 2; leaving without a choice keeps the colour.
    std::vector<std::array<std::string, 3>> cases = {{"down exit", "6", "6"}, {"exit", "", ""}};
    std::string keys, first;
    for (int entry = 0; entry < 7; ++entry, keys += "down ")
        cases.push_back({keys + "ok", "7", std::to_string(entry + 2)});
    for (const auto& [keys, before, code] : cases) {
        SCOPED_TRACE(keys);
        color = before;
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
