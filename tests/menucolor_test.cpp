#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/eskin.h"
#include "manage/colorchoice.h"
#include "manage/menucolor.h"
#include "pchost/session.h"
#include "plugin/globals.h"
#include "plugin/plugin.h"
#include "tests/support.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

const char* const colorEntries[] = {
    " green", " cyan", " red", " magenta", " orange", " white", " gray"};

class MenucolorTest : public testing::Test {
protected:
    // Runs the window on KEYS as the main menu does; returns exec's result.
    int runMenucolor(const std::string& keys)
    {
        pchost::startScript(keys);
        Menucolor window;
        window.show();
        int result = window.exec();
        window.hide();
        return result;
    }

    std::string config() const { return readFile(store.path("tools/lcdmenu.conf")); }

    std::string savedColor() const
    {
        return getInfo(store.path("tools/lcdmenu.conf").c_str(), "menu_color");
    }

    TestStore store;
};

TEST(ChooseColor, OnlyTheSevenColourKeysChangeTheColour)
{
    const struct {
        intptr_t key;
        std::string expected;
    } cases[] = {
        {2, "2"}, {3, "3"}, {5, "5"}, {8, "8"},
        {0, "kept"}, {1, "kept"}, {9, "kept"}, {-2, "kept"}, {42, "kept"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        color = "kept";
        chooseColor(c.key);
        EXPECT_EQ(c.expected, color);
    }
}

TEST_F(MenucolorTest, ChoosingAnEntrySetsItsCodeAndWritesIt)
{
    store.addSlot(1, "name=One\n");
    const struct {
        std::string keys;
        std::string code;
    } cases[] = {
        {"ok", "2"},
        {"down ok", "3"},
        {"down down down ok", "5"},
        {"down down down down down down ok", "8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        color = "7";
        EXPECT_EQ(0, runMenucolor(c.keys));
        EXPECT_EQ(c.code, color);
        EXPECT_EQ(c.code, savedColor());
        EXPECT_THAT(config(), HasSubstr("menu_items=TovraImage,One,\n"));
    }
}

TEST_F(MenucolorTest, LeavingWithoutAChoiceKeepsTheColourAndRewritesTheFiles)
{
    for (const std::string kept : {"6", ""}) {
        SCOPED_TRACE(kept);
        shell("rm -f '" + store.path("tools/lcdmenu.conf") + "' '" + store.path("tools/menu") + "'");
        color = kept;
        EXPECT_EQ(0, runMenucolor("down exit"));
        EXPECT_EQ(kept, color);
        EXPECT_TRUE(pathExists(store.path("tools/menu")));
        EXPECT_THAT(config(), HasSubstr("menu_color=" + kept + "\n"));
    }
}

TEST_F(MenucolorTest, EveryOpeningShowsTheSameSevenEntries)
{
    color = "";
    runMenucolor("snap ok");
    ASSERT_EQ(1u, pchost::snaps().size());
    const std::string first = pchost::snaps()[0];
    for (const char* entry : colorEntries)
        EXPECT_THAT(first, HasSubstr(entry)) << entry;
    EXPECT_THAT(first, HasSubstr("Menu color"));

    // The colour just chosen is not marked the next time.
    ASSERT_EQ("2", color);
    runMenucolor("snap exit");
    ASSERT_EQ(1u, pchost::snaps().size());
    EXPECT_EQ(first, pchost::snaps()[0]);
}

TEST_F(MenucolorTest, WindowAndListHaveTheirPlaces)
{
    Menucolor window;
    EXPECT_EQ("Menu color", window.getText());
    EXPECT_EQ(280, window.getClientPosition().x);
    EXPECT_EQ(150, window.getClientPosition().y);
    EXPECT_EQ(150, window.getClientSize().width());
    EXPECT_EQ(220, window.getClientSize().height());
    ASSERT_EQ(1u, window.getChildren().size());
    auto* list = dynamic_cast<eListBox<eListBoxEntryText>*>(window.getChildren()[0]);
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(10, list->getPosition().x);
    EXPECT_EQ(10, list->getPosition().y);
    EXPECT_EQ(130, list->getSize().width());
    EXPECT_EQ(200, list->getSize().height());
    EXPECT_EQ(2, list->getFlags());
    ASSERT_EQ(7u, list->getEntries().size());
    for (size_t i = 0; i < 7; ++i) {
        auto* entry = static_cast<eListBoxEntryText*>(list->getEntries()[i]);
        EXPECT_EQ(colorEntries[i], entry->getText());
        EXPECT_EQ(static_cast<intptr_t>(i + 2), reinterpret_cast<intptr_t>(entry->getKey()));
    }
}

TEST_F(MenucolorTest, MainMenuEntryOpensTheColourWindow)
{
    writeFile(store.path("tools/lcdmenu.conf"), "menu_color=7\n");
    pchost::startScript("down down down down ok down ok exit");
    EXPECT_EQ(0, plugin_exec(nullptr));
    EXPECT_EQ("3", color);
    EXPECT_EQ("3", savedColor());
}

} // namespace
