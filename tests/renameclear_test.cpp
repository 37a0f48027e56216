#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "manage/renameclear.h"
#include "manage/slotedit.h"
#include "pchost/session.h"
#include "plugin/globals.h"
#include "tests/support.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

using Messages = std::vector<std::string>;

class RenameclearTest : public testing::Test {
protected:
    void SetUp() override { fd = 20; }

    // Runs the dialog in MODE on the scripted KEYS, as the main menu runs it;
    // returns the message boxes it showed.
    Messages run(int mode, const std::string& keys)
    {
        pchost::startScript(keys);
        renameclear dialog(mode);
        dialog.show();
        EXPECT_EQ(dialog.exec(), 0);
        dialog.hide();
        return pchost::shownMessages();
    }

    std::string slotPath(int slot) const { return store.path("image/" + std::to_string(slot)); }
    std::string info(int slot) const { return readFile(slotPath(slot) + "/Image.info"); }
    std::string items() const { return readFile(store.path("tools/lcdmenu.conf")); }
    // Makes slot SLOT's directory read-only, even for root, in this namespace.
    void readOnly(int slot) const
    {
        ASSERT_EQ(shell("mount --bind " + slotPath(slot) + " " + slotPath(slot) +
                      " && mount -o remount,ro,bind " + slotPath(slot)), 0);
    }

    TestStore store;
};

TEST_F(RenameclearTest, ActsOnTheSlotOfTheChosenEntry)
{
    // Listed: 2 and 5 (an empty name) to rename, also 7 (corrupted) to erase;
    // never the plain file 3 or the directory 10.
    store.addSlot(2, "name=Alpha\n");
    store.addSlot(5, "name=\n");
    store.addCorruptedSlot(7);
    writeFile(store.path("image/3"), "not a slot\n");
    store.addSlot(10, "name=Ten\n");
    std::vector<std::string> texts;
    for (const SlotEntry& entry : listSlots(true))
        texts.push_back(std::to_string(entry.slot) + entry.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"2Alpha", "5", "7Directory 7"}));
    EXPECT_EQ(listSlots(false).size(), 2u);
    // The second entry is slot 5, not slot 1.
    run(1, "ok down ok green");
    EXPECT_EQ(info(5), "name=Image-5\n");
    EXPECT_EQ(info(2), "name=Alpha\n");
    run(2, "ok down down ok green");
    EXPECT_FALSE(pathExists(slotPath(7)));
    EXPECT_TRUE(pathExists(slotPath(5)));
}

TEST_F(RenameclearTest, RenameWritesOneNameLineAndTheBootMenuShowsIt)
{
    struct Case {
        const char* keys;
        bool readOnly;
        const char* info;
        const char* box;
    };
    const Case cases[] = {
        {"green", false, "name=Image-4\n", "[Info] Rename Image complete"},
        {"down ok text:\"My image\" ok green", false, "name=My image\n", "[Info] Rename Image complete"},
        {"down ok text:ABCDEFGHIJKL ok green", false, "name=ABCDEFGHIJ\n", "[Info] Rename Image complete"},
        {"down ok text:\"a,b;c=d_e\" ok green", false, "name=abcde\n", "[Info] Rename Image complete"},
        {"down ok text:New ok green", true, "name=Old\nversion=2\n", "[ERROR] could not rename Image"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        store.addSlot(4, "name=Old\nversion=2\n");
        if (c.readOnly)
            readOnly(4);
        EXPECT_THAT(run(1, c.keys), ElementsAre(c.box));
        EXPECT_EQ(info(4), c.info);
        EXPECT_THAT(items(), HasSubstr("menu_items=TovraImage," + info(4).substr(5, info(4).find('\n') - 5) + ",\n"));
        shell("umount " + slotPath(4) + " 2>/dev/null");
    }
}

TEST_F(RenameclearTest, EraseRemovesTheSlotAndItsBootMenuEntry)
{
    struct Case {
        const char* title;
        bool corrupted, readOnly;
        const char* box;
    };
    const Case cases[] = {
        {"installed", false, false, "[Info] Erase Image complete"},
        {"corrupted", true, false, "[Info] Erase Image complete"},
        {"read-only", false, true, "[ERROR] could not erase Image"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        store.addSlot(2, "name=Keep\n");
        c.corrupted ? store.addCorruptedSlot(6) : store.addSlot(6, "name=Gone\n");
        writeFile(slotPath(6) + "/etc/init.d/rcS", "#!/bin/sh\n", 0755);
        if (c.readOnly)
            readOnly(6);

        EXPECT_THAT(run(2, "ok down ok green"), ElementsAre(c.box));

        EXPECT_EQ(pathExists(slotPath(6)), c.readOnly);
        EXPECT_EQ(pathExists(slotPath(6) + "/Image.info"), c.readOnly);
        EXPECT_THAT(items(), HasSubstr(c.readOnly ? "TovraImage,Keep,Gone,\n" : "TovraImage,Keep,\n"));
        shell("umount " + slotPath(6) + " 2>/dev/null; rm -rf " + store.path("image"));
    }
}

TEST(EraseImage, QuotesTheMountPointSoNothingBesideTheStoreIsRemoved)
{
    TestStore store("my store");
    writeFile("/tmp/my/keep", "what an unquoted rm -rf would remove\n");
    store.addSlot(6, "name=Gone\n");
    EXPECT_EQ(eraseImage("6").kind, Outcome::Done);
    EXPECT_FALSE(pathExists(store.path("image/6")));
    EXPECT_TRUE(pathExists("/tmp/my/keep"));
}

TEST_F(RenameclearTest, EmptyListRefusesAndChangesNothing)
{
    // Renaming does not list a corrupted slot; erasing would.
    store.addCorruptedSlot(7);
    for (int mode : {1, 2}) {
        SCOPED_TRACE(mode);
        EXPECT_THAT(run(mode, "green snap ok"), ElementsAre("[Error] no selected Image"));
        EXPECT_EQ(pchost::shownBoxIntegers().at(0).flags, 129);
        EXPECT_THAT(pchost::snaps().at(0), Not(HasSubstr(mode == 1 ? "Rename Image" : "Erase Image")));
        shell("rm -rf " + slotPath(7));
    }
    EXPECT_FALSE(pathExists(store.path("tools/menu")));
}

} // namespace
