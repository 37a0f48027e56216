#include <gtest/gtest.h>

#include "plugin/globals.h"
#include "store/nameedit.h"
#include "tests/support.h"

namespace {

std::string startLine(int entry, int slot)
{
    return "test \"$RC\" -eq " + std::to_string(entry) +
        " && $mpoint/tools/chroot $mpoint/image/" + std::to_string(slot) + " ../go\n";
}

std::string config(int entries, const std::string& items, const std::string& colour)
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

TEST_F(NameeditTest, WorkedExampleByteForByte)
{
    store.addSlot(0, "name=Gemini\n");
    store.addCorruptedSlot(2);
    store.addSlot(5, "name=Image-5\n");
    color = "4";

    nameedit();

    EXPECT_EQ(menu(),
        std::string(TestStore::menuHead) +
            "test \"$RC\" -eq 1 && $mpoint/tools/chroot $mpoint/image/0 ../go\n"
            "test \"$RC\" -eq 2 && $mpoint/tools/chroot $mpoint/image/5 ../go\n");
    EXPECT_EQ(conf(),
        "default_entry=0\nline_spacing=3\nmenu_items=TovraImage,Gemini,Image-5,\n"
        "text_align=0\nmenu_color=4\n");
}

TEST_F(NameeditTest, WithoutSlotsTheMenuIsItsHead)
{
    for (const char* prepare : {"", "mkdir image"}) {
        SCOPED_TRACE(prepare);
        shell("cd '" + store.root() + "' && " + (*prepare ? prepare : "true"));
        color = "7";
        nameedit();
        EXPECT_EQ(menu(), TestStore::menuHead);
        EXPECT_EQ(conf(), config(1, "TovraImage,", "7"));
    }
}

TEST_F(NameeditTest, EntryNumbersCloseUpOverGapsInSlotOrder)
{
    store.addSlot(9, "name=Last\n");
    store.addSlot(3, "name=First\n");
    store.addCorruptedSlot(5);
    shell("mkdir -p '" + store.path("image/10") + "' '" + store.path("image/03") + "'");
    writeFile(store.path("image/10/Image.info"), "name=Ten\n");
    writeFile(store.path("image/4"), "a plain file is no slot\n");

    nameedit();

    EXPECT_EQ(menu(), std::string(TestStore::menuHead) + startLine(1, 3) + startLine(2, 9));
    EXPECT_EQ(conf(), config(3, "TovraImage,First,Last,", ""));
}

TEST_F(NameeditTest, SlotWithoutNameLineKeepsItsEntry)
{
    store.addSlot(1, "other=1\n");
    store.addSlot(2, "name=Sat 1.0\n");
    nameedit();
    EXPECT_EQ(menu(), std::string(TestStore::menuHead) + startLine(1, 1) + startLine(2, 2));
    EXPECT_EQ(conf(), config(3, "TovraImage,,Sat 1.0,", ""));
}

TEST_F(NameeditTest, MenuIsExecutableEvenWhenItsHeadIsNot)
{
    writeFile(store.path("tools/menu.org"), TestStore::menuHead, 0644);
    nameedit();
    EXPECT_EQ(fileMode(store.path("tools/menu")), 0755);
}

TEST_F(NameeditTest, RewritesBothFilesCompletely)
{
    store.addSlot(0, "name=A\n");
    writeFile(store.path("tools/menu"), "old script\n" + startLine(1, 7));
    writeFile(store.path("tools/lcdmenu.conf"), "hand_edited=1\n");
    nameedit();
    std::string first = menu();
    EXPECT_EQ(first, std::string(TestStore::menuHead) + startLine(1, 0));
    EXPECT_EQ(conf(), config(2, "TovraImage,A,", ""));
    nameedit();
    EXPECT_EQ(menu(), first);
}

TEST_F(NameeditTest, TenLongNamesAreNeverCut)
{
    std::string items = "TovraImage,";
    for (int slot = 0; slot < 10; ++slot) {
        std::string name(200, static_cast<char>('a' + slot));
        store.addSlot(slot, "name=" + name + "\n");
        items += name + ",";
    }
    nameedit();
    EXPECT_EQ(conf(), config(11, items, ""));
}

TEST_F(NameeditTest, MissingHeadLeavesNoStaleLines)
{
    store.addSlot(2, "name=B\n");
    writeFile(store.path("tools/menu"), "stale\n" + startLine(1, 8));
    shell("rm '" + store.path("tools/menu.org") + "'");
    nameedit();
    EXPECT_EQ(menu(), startLine(1, 2));
}

TEST_F(NameeditTest, MissingToolsDirectoryIsSurvived)
{
    store.addSlot(0, "name=A\n");
    shell("rm -rf '" + store.path("tools") + "'");
    nameedit();
    EXPECT_FALSE(pathExists(store.path("tools")));
}

TEST(NameeditQuoting, MountPointWithShellCharacters)
{
    TestStore store("a b;touch pwned;'q'$(touch pwned2)");
    store.addSlot(4, "name=Q\n");
    nameedit();
    EXPECT_EQ(readFile(store.path("tools/menu")),
        std::string(TestStore::menuHead) + startLine(1, 4));
    EXPECT_EQ(fileMode(store.path("tools/menu")), 0755);
    EXPECT_FALSE(pathExists("pwned"));
    EXPECT_FALSE(pathExists("pwned2"));
    EXPECT_FALSE(pathExists("/tmp/pwned"));
}

} // namespace
