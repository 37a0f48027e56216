#include <gtest/gtest.h>

#include "plugin/globals.h"
#include "store/nameedit.h"
#include "tests/support.h"

namespace {

// The script's start lines for entries 1, 2, ... and the given slots.
std::string startLines(const std::vector<int>& slots)
{
    std::string lines;
    for (size_t entry = 1; entry <= slots.size(); ++entry)
        lines += "test \"$RC\" -eq " + std::to_string(entry) +
            " && $mpoint/tools/chroot $mpoint/image/" + std::to_string(slots[entry - 1]) + " ../go\n";
    return lines;
}

std::string config(size_t entries, const std::string& items, const std::string& colour = "")
{
    return "default_entry=0\nline_spacing=" + std::to_string(entries) + "\nmenu_items=" + items +
        "\ntext_align=0\nmenu_color=" + colour + "\n";
}

class NameeditTest : public ::testing::Test {
protected:
    // No colour chosen, whatever an earlier test in this process left.
    NameeditTest() { color = ""; }

    std::string menu() const { return readFile(store.path("tools/menu")); }
    std::string conf() const { return readFile(store.path("tools/lcdmenu.conf")); }

    TestStore store;
};

TEST_F(NameeditTest, OneStartLineAndItemPerInstalledSlotInSlotOrder)
{
    std::vector<std::pair<int, std::string>> ten;
    std::string tenItems = "TovraImage,";
    for (int slot = 0; slot < 10; ++slot) {
        ten.push_back({slot, "name=" + std::string(200, 'a' + slot) + "\n"});
        tenItems += std::string(200, 'a' + slot) + ",";
    }
    const struct {
        const char* title;
        std::vector<std::pair<int, std::string>> slots;  // Image.info; empty: none
        const char* more;  // run in image/
        const char* colour;
        std::vector<int> listed;
        std::string items;
    } cases[] = {
        {"no image/ at all", {}, "", "7", {}, "TovraImage,"},
        {"gaps close up", {{0, "name=Gemini\n"}, {2, ""}, {5, "name=Image-5\n"}}, "", "4", {0, 5},
            "TovraImage,Gemini,Image-5,"},
        {"slot order, not age; other entries never looked at", {{9, "name=Last\n"}, {3, "name=First\n"}},
            "mkdir 03 10 && echo name=Ten > 10/Image.info && touch 4", "", {3, 9}, "TovraImage,First,Last,"},
        {"no name line, a blank", {{1, "other=1\n"}, {2, "name=Sat 1.0\n"}}, "", "", {1, 2},
            "TovraImage,,Sat 1.0,"},
        {"control characters end a name, commas are blanks",
            {{1, std::string("name=a\0b\n", 9)}, {2, "name=c\rd\n"}, {3, "name=e,f\n"}}, "", "", {1, 2, 3},
            "TovraImage,a,c,e f,"},
        {"long names are never cut", ten, "", "", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, tenItems},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        shell("rm -rf " + store.path("image"));
        for (const auto& [slot, info] : c.slots)
            info.empty() ? store.addCorruptedSlot(slot) : store.addSlot(slot, info);
        if (*c.more)
            shell("cd " + store.path("image") + " && " + c.more);
        color = c.colour;

        EXPECT_TRUE(nameedit());

        EXPECT_EQ(menu(), TestStore::menuHead + startLines(c.listed));
        EXPECT_EQ(conf(), config(c.listed.size() + 1, c.items, c.colour));
        EXPECT_EQ(fileMode(store.path("tools/menu")), 0755);
    }
}

TEST_F(NameeditTest, RewritesBothFilesWhole)
{
    store.addSlot(0, "name=A\n");
    writeFile(store.path("tools/menu.org"), TestStore::menuHead, 0644);
    writeFile(store.path("tools/menu"), "old script\n" + startLines({7}));
    writeFile(store.path("tools/lcdmenu.conf"), "hand_edited=1\n");
    for (int call = 0; call < 2; ++call) {
        EXPECT_TRUE(nameedit());
        EXPECT_EQ(menu(), TestStore::menuHead + startLines({0}));
        EXPECT_EQ(conf(), config(2, "TovraImage,A,"));
        EXPECT_EQ(fileMode(store.path("tools/menu")), 0755);
    }
    // Without a head, start lines could start nothing.
    shell("rm " + store.path("tools/menu.org"));
    EXPECT_TRUE(nameedit());
    EXPECT_EQ(menu(), "");
    EXPECT_EQ(conf(), config(2, "TovraImage,A,"));
}

TEST_F(NameeditTest, MissingToolsDirectoryIsSurvived)
{
    // A full disk and scratch files that cannot be made: the crash tests.
    shell("rm -rf " + store.path("tools"));
    EXPECT_FALSE(nameedit());
    EXPECT_FALSE(pathExists(store.path("tools")));
}

} // namespace
