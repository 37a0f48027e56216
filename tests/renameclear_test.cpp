#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/eskin.h"
#include "manage/slotedit.h"
#include "pchost/front/session.h"
#include "plugin/globals.h"
#include "plugin/menucolor.h"
#include "plugin/renameclear.h"
#include "store/nameedit.h"
#include "store/shell.h"
#include "tests/images.h"
#include "tests/support.h"

using ::testing::ElementsAre;

namespace {

class RenameclearTest : public testing::Test {
protected:
    // Runs the dialog in MODE (1 rename, 2 erase; 0 the colour window) on KEYS: the boxes it showed.
    std::vector<std::string> run(int mode, const std::string& keys)
    {
        pchost::startScript(keys);
        std::unique_ptr<eWindow> dialog(mode ? static_cast<eWindow*>(new renameclear(mode)) : new Menucolor);
        dialog->show();
        EXPECT_EQ(dialog->exec(), 0);
        return pchost::shownMessages();
    }
    // Where the dialog (client area at 250, 150) asks for them: the button at
    // (20, Y) with its green mark, before the list opens; then the COUNT rows
    // of the open list, inside its frame under the box at (20, 20).
    static void shows(const std::string& button, int y, int count, const std::string& rows)
    {
        EXPECT_EQ(shownAt(pchost::snaps().at(0), 270, 150 + y, 20), " (green) " + button);
        EXPECT_EQ(shownAt(pchost::snaps().at(1), 278, 170 + fd + 15 + 16, 20, count), rows);
    }
    std::string slot(int n) const { return store.path("image/" + std::to_string(n)); }
    std::string items() const { return getInfo(store.path("tools/lcdmenu.conf").c_str(), "menu_items"); }
    // Makes DIR read-only, even for root, in this namespace. In two steps:
    // busybox's mount, of the run with the box's tools, binds "bind,ro" writable.
    void readOnly(const std::string& dir) const
    {
        ASSERT_EQ(shell("mount --bind " + shellQuote(dir) + " " + shellQuote(dir) + " && mount -o remount,bind,ro " +
                      shellQuote(dir)), 0);
    }

    TestStore store{"my store"};  // commands that do not quote it fail
};

TEST_F(RenameclearTest, ListsSlotsInOrderAndActsOnTheChosenEntrysSlot)
{
    // Listed: 2 and 5 (an empty name), for erasing also 7 (corrupted); never
    // the plain file 3 or the directory 10.
    store.addSlot(2, "name=Alpha\nversion=2\n");
    store.addSlot(5, "name=\n");
    store.addCorruptedSlot(7);
    writeFile(slot(3), "not a slot\n");
    store.addSlot(10, "name=Ten\n");
    std::string texts;
    for (const SlotEntry& entry : listSlots(true))
        texts += std::to_string(entry.slot) + entry.text + ",";
    EXPECT_EQ(texts, "2Alpha,5,7Directory 7,");
    // The second entry is slot 5, not slot 1; the third is slot 7.
    EXPECT_THAT(run(1, "snap ok snap down ok green"), ElementsAre("[Info] Rename Image complete"));
    shows("Rename", 170, 2, ">Alpha\n");
    EXPECT_EQ(readFile(slot(5) + "/Image.info"), "name=Image-5\n");
    EXPECT_THAT(run(2, "snap ok snap down down ok green"), ElementsAre("[Info] Erase Image complete"));
    shows("Erase", 90, 3, ">Alpha\n Image-5\n Directory 7");
    EXPECT_FALSE(pathExists(slot(7)));
    // The field takes ten of the allowed characters; Image.info gets one line.
    EXPECT_THAT(run(1, "down ok text:\"a,b;c=d_e fGHIJKL\" ok green"), ElementsAre("[Info] Rename Image complete"));
    readOnly(slot(2));
    EXPECT_THAT(run(1, "down ok text:New ok green"), ElementsAre("[ERROR] could not rename Image"));
    EXPECT_EQ(readFile(slot(2) + "/Image.info"), "name=abcde fGHI\n");
    EXPECT_EQ(items(), "TovraImage,abcde fGHI,Image-5,");
    shell("umount " + shellQuote(slot(2)));
}

TEST_F(RenameclearTest, EraseTakesTheSlotOutOfTheBootMenuBeforeItsFilesAndAlwaysEnds)
{
    // What is read-only (or "link": slot 6 leads out of the store), the box,
    // the slot left, menu_items. A boot menu that cannot be written stops nothing.
    const std::tuple<std::string, std::string, SlotState, std::string> cases[] = {
        {"", "Info Erase Image complete", SlotState::Free, "TovraImage,Keep,"},
        {"image/6/etc", "ERROR could not erase Image", SlotState::Corrupted, "TovraImage,Keep,"},
        {"image/6", "ERROR could not erase Image", SlotState::Installed, ""},
        {"tools", "ERROR could not write boot menu", SlotState::Free, ""},
        {"link", "Info Erase Image complete", SlotState::Free, "TovraImage,Keep,"}};
    for (const auto& [readOnlyPart, box, left, menuItems] : cases) {
        SCOPED_TRACE(readOnlyPart);
        shell("cd " + shellQuote(store.root()) + " && rm -rf image tools/lcdmenu.conf /tmp/out && mkdir -p image/2"
              " image/6/etc && echo name=Keep >image/2/Image.info && echo name=Gone >image/6/Image.info && touch "
              "image/6/etc/x" + (readOnlyPart == "link" ? " && mv image/6 /tmp/out && ln -s /tmp/out image/6" : ""));
        if (!readOnlyPart.empty() && readOnlyPart != "link")
            readOnly(store.path(readOnlyPart));
        Outcome outcome = eraseImage("6");
        EXPECT_EQ(outcome.title() + " " + outcome.message, box);
        EXPECT_EQ(probeSlot(6), left);
        EXPECT_EQ(items(), menuItems);
        EXPECT_EQ(pathExists("/tmp/out/Image.info") && pathExists("/tmp/out/etc/x"), readOnlyPart == "link");
        shell("umount " + shellQuote(store.path(readOnlyPart)) + " 2>/dev/null");
    }
}

// Started with 5, then another front end chose 3: a rename keeps 3, a choice
// in the colour window wins and is logged, leaving it without one logs nothing.
TEST_F(RenameclearTest, TheColourChosenLastWinsWhereverItWasChosen)
{
    store.addSlot(2, "name=Two\n");
    const std::string conf = store.path("tools/lcdmenu.conf"), log = store.path("nimbrel.log");
    const struct {
        int mode;  // 1 the rename dialog, 0 the colour window
        const char *keys, *colour, *logged;
    } cases[] = {{1, "down ok text:New ok green", "3", "windows rename 2 done Rename Image complete\n"},
        {0, "ok", "2", "windows color - done menu_color=2\n"}, {0, "exit", "3", ""}};
    for (const auto& [mode, keys, colour, logged] : cases) {
        SCOPED_TRACE(colour);
        color = "5";
        ASSERT_TRUE(nameedit());
        shell("sed -i s/^menu_color=5$/menu_color=3/ " + shellQuote(conf) + " && rm -f " + shellQuote(log));
        run(mode, keys);
        EXPECT_EQ(getInfo(conf.c_str(), "menu_color"), colour);
        EXPECT_EQ(readFile(log).substr(*logged ? 21 : 0), logged);  // after the time stamp
    }
}

TEST_F(RenameclearTest, ReadOnlyStoreNamedByEveryActionThatWritesAndLeftAsItWas)
{
    store.addSlot(2, "name=Keep\n");
    color = "5";
    ASSERT_TRUE(nameedit());
    for (const char* part : {"", "image", "tools"}) {  // "": the whole store
        SCOPED_TRACE(part);
        readOnly(store.path(part));
        const std::string before = fingerprint({store.root()}, {}), refused = "[Error] image store is read-only";
        EXPECT_THAT(run(1, "down ok text:New ok green"), ElementsAre(refused));
        EXPECT_THAT(run(2, "green"), ElementsAre(refused));
        EXPECT_THAT(run(0, "down ok"), ElementsAre(refused));
        EXPECT_EQ(pchost::shownBoxIntegers().at(0).flags, 129);
        EXPECT_EQ(color, "5");
        EXPECT_EQ(fingerprint({store.root()}, {}), before);
        shell("umount " + shellQuote(store.path(part)));
    }
}

TEST_F(RenameclearTest, EmptyListRefusesAndChangesNothing)
{
    store.addCorruptedSlot(7);  // listed for erasing only
    for (int mode : {1, 2}) {
        SCOPED_TRACE(mode);
        EXPECT_THAT(run(mode, "green snap ok"), ElementsAre("[Error] no selected Image"));
        EXPECT_EQ(pchost::shownBoxIntegers().at(0).flags, 129);
        // The dialog hides behind the box.
        EXPECT_EQ(pchost::snaps().at(0).find(mode == 1 ? "Rename Image" : "Erase Image"), std::string::npos);
        shell("rm -rf " + shellQuote(slot(7)));
    }
    EXPECT_FALSE(pathExists(store.path("tools/menu")));
}

} // namespace
