#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "manage/renameclear.h"
#include "manage/slotedit.h"
#include "pchost/session.h"
#include "plugin/globals.h"
#include "plugin/plugin.h"
#include "tests/support.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

using Messages = std::vector<std::string>;

// The result of the last modal run; leaving by exit gives -1.
int lastResult = 0;

// Runs the dialog in MODE on the scripted KEYS, as the main menu runs it.
Messages runRenameclear(int mode, const std::string& keys)
{
    pchost::startScript(keys);
    renameclear dialog(mode);
    dialog.show();
    lastResult = dialog.exec();
    dialog.hide();
    return pchost::shownMessages();
}

// A directory made read-only by a bind mount inside this test's namespace,
// where even root cannot change it.
class ReadOnlyMount {
public:
    explicit ReadOnlyMount(const std::string& dir)
        : dir(dir)
    {
        mounted = shell("mount --bind '" + dir + "' '" + dir + "' && mount -o remount,ro,bind '" +
                      dir + "'") == 0;
    }
    ~ReadOnlyMount() { shell("umount '" + dir + "'"); }
    bool ok() const { return mounted; }

private:
    std::string dir;
    bool mounted;
};

class RenameclearTest : public testing::Test {
protected:
    void SetUp() override { fd = 20; }

    std::string info(int slot) const { return readFile(slotPath(slot) + "/Image.info"); }
    std::string slotPath(int slot) const { return store.path("image/" + std::to_string(slot)); }
    std::string menuItems() const { return readFile(store.path("tools/lcdmenu.conf")); }

    // Slots 2 (Alpha), 5 (empty name), 7 (no Image.info), a plain file at 3
    // and a directory 10 that no scan may look at.
    void addMixedSlots() const
    {
        store.addSlot(2, "name=Alpha\n");
        store.addSlot(5, "name=\n");
        store.addCorruptedSlot(7);
        writeFile(store.path("image/3"), "not a slot\n");
        store.addSlot(10, "name=Ten\n");
    }

    TestStore store;
};

struct ListCase {
    bool withCorrupted;
    std::vector<std::pair<int, std::string>> expected;
};

TEST_F(RenameclearTest, ListsInstalledSlotsAndWhenErasingCorruptedOnes)
{
    addMixedSlots();
    const ListCase cases[] = {
        {false, {{2, "Alpha"}, {5, ""}}},
        {true, {{2, "Alpha"}, {5, ""}, {7, "Directory 7"}}},
    };
    for (const ListCase& c : cases) {
        SCOPED_TRACE(c.withCorrupted ? "erase" : "rename");
        std::vector<std::pair<int, std::string>> listed;
        for (const SlotEntry& entry : listSlots(c.withCorrupted))
            listed.emplace_back(entry.slot, entry.text);
        EXPECT_EQ(c.expected, listed);
    }
}

TEST_F(RenameclearTest, WindowShowsTheListWithTheFirstSlotCurrent)
{
    addMixedSlots();
    const struct {
        int mode;
        bool showsDirectory;
    } cases[] = {{1, false}, {2, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        runRenameclear(c.mode, "snap ok snap exit exit");
        ASSERT_EQ(2u, pchost::snaps().size());
        const std::string& closed = pchost::snaps()[0];
        const std::string& open = pchost::snaps()[1];
        EXPECT_THAT(closed, HasSubstr("Alpha"));
        EXPECT_EQ(c.showsDirectory, open.find("Directory 7") != std::string::npos);
        EXPECT_THAT(open, Not(HasSubstr("Ten")));
    }
}

TEST_F(RenameclearTest, ActsOnTheSlotOfTheChosenEntryNotItsPosition)
{
    addMixedSlots();
    runRenameclear(1, "ok down ok green");
    EXPECT_EQ("name=Image-5\n", info(5));
    EXPECT_EQ("name=Alpha\n", info(2));
    EXPECT_FALSE(pathExists(slotPath(1)));

    runRenameclear(2, "ok down ok green");
    EXPECT_FALSE(pathExists(slotPath(5)));
    EXPECT_EQ("name=Alpha\n", info(2));
}

TEST_F(RenameclearTest, EmptyFieldWritesTheDefaultNameAsTheOnlyLine)
{
    store.addSlot(3, "name=Old\nversion=2\n");
    Messages shown = runRenameclear(1, "green");
    EXPECT_EQ("name=Image-3\n", info(3));
    EXPECT_EQ(Messages{"[Info] Rename Image complete"}, shown);
    EXPECT_EQ(0, lastResult);
    EXPECT_THAT(menuItems(), HasSubstr("menu_items=TovraImage,Image-3,\n"));
}

TEST_F(RenameclearTest, TypedNameIsWrittenAsTypedAndReachesTheBootMenu)
{
    store.addSlot(4, "name=Old\n");
    runRenameclear(1, "down ok text:\"My image\" ok green");
    EXPECT_EQ("name=My image\n", info(4));
    EXPECT_THAT(menuItems(), HasSubstr("menu_items=TovraImage,My image,\n"));
}

TEST_F(RenameclearTest, NameFieldTakesOnlyTheUseableCharactersAndAtMostTen)
{
    const std::string useable =
        " abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ1234567890-+:.";
    store.addSlot(4, "name=Old\n");
    // Every printable character, typed ten at a time so that the limit
    // does not hide a character that should have been refused.
    for (int first = ' '; first <= '~'; first += 10) {
        std::string typed;
        std::string kept;
        for (char c = first; c < first + 10 && c <= '~'; ++c) {
            typed += c;
            if (useable.find(c) != std::string::npos)
                kept += c;
        }
        SCOPED_TRACE(typed);
        pchost::startScript({{pchost::Key::Down, ""}, {pchost::Key::Ok, ""},
            {pchost::Key::Text, typed}, {pchost::Key::Ok, ""}, {pchost::Key::Green, ""}});
        renameclear dialog(1);
        dialog.show();
        dialog.exec();
        EXPECT_EQ("name=" + (kept.empty() ? "Image-4" : kept) + "\n", info(4));
    }
    runRenameclear(1, "down ok text:ABCDEFGHIJKL ok green");
    EXPECT_EQ("name=ABCDEFGHIJ\n", info(4));
}

TEST_F(RenameclearTest, RenameThatCannotWriteReportsAndWritesNothing)
{
    store.addSlot(3, "name=Old\n");
    ReadOnlyMount readOnly(slotPath(3));
    ASSERT_TRUE(readOnly.ok());
    Messages shown = runRenameclear(1, "down ok text:New ok green");
    EXPECT_EQ(Messages{"[ERROR] could not rename Image"}, shown);
    EXPECT_EQ("name=Old\n", info(3));
    EXPECT_THAT(menuItems(), HasSubstr("menu_items=TovraImage,Old,\n"));
}

TEST_F(RenameclearTest, RenameOfAVanishedSlotCreatesNothing)
{
    Outcome outcome = renameImage("4", "New");
    EXPECT_EQ(Outcome::Failed, outcome.kind);
    EXPECT_EQ("could not rename Image", outcome.message);
    EXPECT_FALSE(pathExists(slotPath(4)));
}

TEST_F(RenameclearTest, EraseRemovesTheWholeSlotAndItsBootMenuLine)
{
    store.addSlot(2, "name=Keep\n");
    store.addSlot(6, "name=Gone\n");
    writeFile(slotPath(6) + "/etc/init.d/rcS", "#!/bin/sh\n", 0755);
    Messages shown = runRenameclear(2, "ok down ok green");
    EXPECT_EQ(Messages{"[Info] Erase Image complete"}, shown);
    EXPECT_EQ(0, lastResult);
    EXPECT_FALSE(pathExists(slotPath(6)));
    EXPECT_THAT(menuItems(), HasSubstr("menu_items=TovraImage,Keep,\n"));
    EXPECT_THAT(readFile(store.path("tools/menu")), Not(HasSubstr("image/6")));
}

TEST_F(RenameclearTest, EraseOfACorruptedSlotRemovesIt)
{
    store.addCorruptedSlot(7);
    writeFile(slotPath(7) + "/bin/sh", "partial copy\n");
    EXPECT_EQ(Messages{"[Info] Erase Image complete"}, runRenameclear(2, "green"));
    EXPECT_FALSE(pathExists(slotPath(7)));
}

TEST_F(RenameclearTest, FailedEraseReportsAndStillRegeneratesTheBootMenu)
{
    store.addSlot(6, "name=Stuck\n");
    ReadOnlyMount readOnly(slotPath(6));
    ASSERT_TRUE(readOnly.ok());
    EXPECT_EQ(Messages{"[ERROR] could not erase Image"}, runRenameclear(2, "green"));
    EXPECT_EQ(1, pchost::shownBoxIntegers().at(0).flags);
    EXPECT_TRUE(pathExists(slotPath(6) + "/Image.info"));
    EXPECT_THAT(menuItems(), HasSubstr("menu_items=TovraImage,Stuck,\n"));
}

TEST(EraseImage, QuotesTheMountPointSoNothingBesideTheStoreIsRemoved)
{
    fd = 20;
    TestStore store("my store");
    writeFile("/tmp/my/keep", "what an unquoted rm -rf would remove\n");
    store.addSlot(6, "name=Gone\n");
    EXPECT_EQ(Outcome::Done, eraseImage("6").kind);
    EXPECT_FALSE(pathExists(store.path("image/6")));
    EXPECT_TRUE(pathExists("/tmp/my/keep"));
}

TEST_F(RenameclearTest, EmptyListRefusesAndChangesNothing)
{
    // Renaming does not list a corrupted slot; erasing would.
    store.addCorruptedSlot(7);
    EXPECT_EQ(Messages{"[Error] no selected Image"}, runRenameclear(1, "green snap ok"));
    ASSERT_EQ(1u, pchost::snaps().size());
    EXPECT_THAT(pchost::snaps()[0], Not(HasSubstr("Rename Image")));  // hidden under the box
    EXPECT_TRUE(pathExists(slotPath(7)));
    EXPECT_FALSE(pathExists(slotPath(7) + "/Image.info"));

    shell("rm -rf '" + slotPath(7) + "'");
    EXPECT_EQ(Messages{"[Error] no selected Image"}, runRenameclear(2, "green"));
    EXPECT_EQ(129, pchost::shownBoxIntegers().at(0).flags);
    EXPECT_EQ(0, lastResult);

    // Both files appear only when nameedit runs.
    EXPECT_FALSE(pathExists(store.path("tools/menu")));
    EXPECT_FALSE(pathExists(store.path("tools/lcdmenu.conf")));
}

struct Place {
    int x, y, w, h;
    std::string text;
    bool visible;
};

TEST_F(RenameclearTest, EachModeHasItsTitleSizeAndWidgets)
{
    const struct {
        int mode;
        std::string title;
        int height;
        std::vector<Place> children;
    } cases[] = {
        {1, "Rename Image", 240,
            {{20, 20, 170, 35, "", true}, {60, 80, 100, 24, "new Name", true},
                {20, 110, 170, 35, "", true}, {20, 170, 170, 35, "Rename", true}}},
        {2, "Erase Image", 160,
            {{20, 20, 170, 35, "", true}, {60, 80, 100, 24, "new Name", false},
                {20, 110, 170, 35, "", false}, {20, 90, 170, 35, "Erase", true}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        renameclear dialog(c.mode);
        dialog.show();
        EXPECT_EQ(c.title, dialog.getText());
        EXPECT_EQ(250, dialog.getClientPosition().x);
        EXPECT_EQ(150, dialog.getClientPosition().y);
        EXPECT_EQ(210, dialog.getClientSize().width());
        EXPECT_EQ(c.height, dialog.getClientSize().height());
        ASSERT_EQ(c.children.size(), dialog.getChildren().size());
        for (size_t i = 0; i < c.children.size(); ++i) {
            const Place& want = c.children[i];
            const eWidget* child = dialog.getChildren()[i];
            SCOPED_TRACE(i);
            EXPECT_EQ(want.x, child->getPosition().x);
            EXPECT_EQ(want.y, child->getPosition().y);
            EXPECT_EQ(want.w, child->getSize().width());
            EXPECT_EQ(want.h, child->getSize().height());
            EXPECT_EQ(want.text, child->getText());
            EXPECT_EQ(want.visible, child->isVisible());
        }
        EXPECT_EQ("green", dialog.getChildren()[3]->getShortcut());
    }
}

TEST_F(RenameclearTest, MainMenuEntriesOpenRenameAndErase)
{
    store.addSlot(2, "name=Alpha\n");
    store.addSlot(5, "name=Beta\n");
    pchost::startScript("down ok green ok down ok ok down ok green ok exit");
    plugin_exec(nullptr);
    EXPECT_EQ((Messages{"[Info] Rename Image complete", "[Info] Erase Image complete"}),
        pchost::shownMessages());
    EXPECT_EQ("name=Image-2\n", info(2));
    EXPECT_FALSE(pathExists(slotPath(5)));
}

} // namespace
