#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "manage/imageinfo.h"
#include "manage/overview.h"
#include "pchost/session.h"
#include "plugin/globals.h"
#include "plugin/plugin.h"
#include "tests/support.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

// A du that answers "123<tab>PATH" and logs each directory it is asked for.
const char fakeDu[] =
    "#!/bin/sh\n"
    "echo \"$2\" >> /tmp/du.log\n"
    "printf '123\\t%s\\n' \"$2\"\n";

class ImageinfoTest : public testing::Test {
protected:
    void SetUp() override
    {
        fd = 20;
        shell("rm -f /tmp/du.temp /tmp/du.log");
    }

    // The overview as the main menu runs it; returns the screen it showed.
    std::string runImageinfo()
    {
        pchost::startScript("snap green");
        Imageinfo window;
        window.show();
        window.exec();
        window.hide();
        return pchost::snaps().empty() ? "" : pchost::snaps()[0];
    }

    // The label of WINDOW whose text is TEXT, or null.
    static const eWidget* labelWithText(const eWidget& window, const std::string& text)
    {
        for (const eWidget* child : window.getChildren())
            if (child->getText() == text)
                return child;
        return nullptr;
    }

    TestStore store;
};

TEST(SizeText, TakesTheFieldBeforeTheSeparatorOrTheWholeLine)
{
    const struct {
        const char* content;
        std::string expected;
    } cases[] = {
        {"123\t/hdd/image/3\n", "123 kB"},
        {"", "? kB"},  // right after a row with a size: nothing may carry over
        {"98765 /hdd/image/0\nsecond line/\n", "98765 kB"},
        {"no slash at all\n", "no slash at all\n kB"},
        {"/hdd/image/3\n", "/hdd/image/3\n kB"},
        {"7/x\n", " kB"},
        {"123\t", "123\t kB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content);
        writeFile("/tmp/du.sample", c.content);
        EXPECT_EQ(c.expected, sizeText("/tmp/du.sample"));
    }
}

TEST(SizeText, ReadsAtMost1023CharactersOfTheLine)
{
    writeFile("/tmp/du.sample", std::string(1500, '9') + "\t/hdd/image/1\n");
    EXPECT_EQ(std::string(1023, '9') + " kB", sizeText("/tmp/du.sample"));
}

TEST(SizeText, IsEmptyWhenTheFileDoesNotOpen)
{
    EXPECT_EQ("", sizeText("/tmp/no-such-du.temp"));
}

TEST_F(ImageinfoTest, MeasuresAnInstalledSlotWithTheStoresDu)
{
    writeFile(store.path("tools/du"), fakeDu, 0755);
    store.addSlot(4, "name=Four\n");
    EXPECT_EQ("123 kB", measureSlot(4));
    EXPECT_EQ(store.path("image/4") + "\n", readFile("/tmp/du.log"));
    EXPECT_EQ("123\t" + store.path("image/4") + "\n", readFile("/tmp/du.temp"));
}

TEST_F(ImageinfoTest, DuThatCannotStartGivesAnUnknownSize)
{
    shell("rm '" + store.path("tools/du") + "'");
    store.addSlot(4, "name=Four\n");
    writeFile("/tmp/du.temp", "555\t/stale/row\n");
    EXPECT_EQ("? kB", measureSlot(4));
}

TEST_F(ImageinfoTest, StatusTextFollowsTheSlotState)
{
    store.addSlot(1, "name=One\n");
    store.addSlot(2, "name=\n");
    const struct {
        int slot;
        SlotState state;
        std::string expected;
    } cases[] = {
        {1, SlotState::Installed, "One"},
        {2, SlotState::Installed, ""},
        {3, SlotState::Corrupted, "corrupted"},
        {4, SlotState::Free, "----------"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.slot);
        EXPECT_EQ(c.expected, statusText(c.slot, c.state));
    }
}

TEST_F(ImageinfoTest, EmptyStoreShowsTenFreeRowsWithoutSizes)
{
    std::string screen = runImageinfo();
    for (int slot = 0; slot < 10; ++slot)
        EXPECT_THAT(screen, HasSubstr("Image " + std::to_string(slot) + ":"));
    EXPECT_THAT(screen, Not(HasSubstr("kB")));

    Imageinfo window;
    int free = 0;
    for (const eWidget* child : window.getChildren())
        free += child->getText() == "----------";
    EXPECT_EQ(10, free);
    EXPECT_FALSE(pathExists("/tmp/du.temp"));
}

TEST_F(ImageinfoTest, RowsShowSizeAndNameOrState)
{
    writeFile(store.path("tools/du"), fakeDu, 0755);
    store.addSlot(0, "name=Zero\n");
    store.addSlot(3, "name=\n");
    store.addCorruptedSlot(6);
    store.addSlot(10, "name=Ten\n");

    std::string screen = runImageinfo();
    EXPECT_THAT(screen, HasSubstr("Zero"));
    EXPECT_THAT(screen, HasSubstr("123 kB"));
    EXPECT_THAT(screen, HasSubstr("corrupted"));
    EXPECT_THAT(screen, Not(HasSubstr("Image 10:")));
    EXPECT_THAT(screen, Not(HasSubstr("Ten")));
    EXPECT_EQ(store.path("image/0") + "\n" + store.path("image/3") + "\n",
        readFile("/tmp/du.log"));

    Imageinfo window;
    int sizes = 0;
    for (const eWidget* child : window.getChildren())
        sizes += child->getText() == "123 kB";
    EXPECT_EQ(2, sizes);
}

TEST_F(ImageinfoTest, RowsAreFourPixelsMoreThanTheFontApart)
{
    writeFile(store.path("tools/du"), fakeDu, 0755);
    store.addSlot(9, "name=Nine\n");
    for (int size : {20, 16}) {
        SCOPED_TRACE(size);
        fd = size;
        Imageinfo window;
        for (int slot = 0; slot < 10; ++slot) {
            const eWidget* nr = labelWithText(window, "Image " + std::to_string(slot) + ":");
            ASSERT_NE(nullptr, nr);
            EXPECT_EQ(10, nr->getPosition().x);
            EXPECT_EQ(slot * (size + 4), nr->getPosition().y);
            EXPECT_EQ(size + 15, nr->getSize().height());
        }
        const eWidget* size9 = labelWithText(window, "123 kB");
        const eWidget* name9 = labelWithText(window, "Nine");
        ASSERT_NE(nullptr, size9);
        ASSERT_NE(nullptr, name9);
        EXPECT_EQ(110, size9->getPosition().x);
        EXPECT_EQ(9 * (size + 4), size9->getPosition().y);
        EXPECT_EQ(230, name9->getPosition().x);
        EXPECT_EQ(9 * (size + 4), name9->getPosition().y);
    }
}

TEST_F(ImageinfoTest, WindowHasItsTitleAndAnOkButtonThatCloses)
{
    Imageinfo window;
    EXPECT_EQ("Image Info", window.getText());
    EXPECT_EQ(170, window.getClientPosition().x);
    EXPECT_EQ(100, window.getClientPosition().y);
    EXPECT_EQ(360, window.getClientSize().width());
    EXPECT_EQ(360, window.getClientSize().height());
    const eWidget* ok = labelWithText(window, "OK");
    ASSERT_NE(nullptr, ok);
    EXPECT_EQ(130, ok->getPosition().x);
    EXPECT_EQ(300, ok->getPosition().y);
    EXPECT_EQ("green", ok->getShortcut());

    // Leaving by exit instead would end the loop with -1.
    pchost::startScript("green");
    window.show();
    EXPECT_EQ(0, window.exec());
}

TEST_F(ImageinfoTest, MainMenuEntryOpensTheOverview)
{
    pchost::startScript("down down down ok snap green exit");
    plugin_exec(nullptr);
    ASSERT_EQ(1u, pchost::snaps().size());
    EXPECT_THAT(pchost::snaps()[0], HasSubstr("Image Info"));
}

} // namespace
