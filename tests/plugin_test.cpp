#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/elistbox.h"
#include "pchost/session.h"
#include "pchost/skin.h"
#include "plugin/globals.h"
#include "plugin/install.h"
#include "plugin/plugin.h"
#include "tests/support.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

namespace {

const char refusal[] = "[Nimbrel] Tovra-Image must be started!";

// The globals as they are when the library has just been loaded.
void freshLoad()
{
    mpoint = "";
    color = "";
    fd = 0;
    clearSkinFontSize();
}

TEST(PluginExec, RefusesWithoutMountPoint)
{
    struct Case {
        const char* name;
        const char* org;  // null: no /tmp/org at all
    };
    const Case cases[] = {
        {"no file", nullptr},
        {"empty file", ""},
        {"only a line end", "\n"},
        {"only CR LF", "\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        freshLoad();
        shell("rm -f /tmp/org");
        if (c.org)
            writeFile("/tmp/org", c.org);
        pchost::startScript("snap");

        EXPECT_EQ(plugin_exec(nullptr), 0);

        EXPECT_THAT(pchost::shownMessages(), ElementsAre(refusal));
        ASSERT_EQ(pchost::shownBoxIntegers().size(), 1u);
        EXPECT_EQ(pchost::shownBoxIntegers()[0].flags, 129);
        EXPECT_EQ(pchost::shownBoxIntegers()[0].defaultButton, 1);
        EXPECT_EQ(pchost::shownBoxIntegers()[0].timeout, 0);
        EXPECT_EQ(fd, 0);
        EXPECT_EQ(color, "");
        ASSERT_EQ(pchost::snaps().size(), 1u);
        EXPECT_THAT(pchost::snaps()[0], HasSubstr("Tovra-Image must be started!"));
        EXPECT_THAT(pchost::snaps()[0], Not(HasSubstr("Install new Image")));
    }
}

TEST(PluginExec, TakesTheFirstLineWithoutItsLineEnd)
{
    const char* const orgs[] = {
        "/tmp/store\n",
        "/tmp/store",
        "/tmp/store\r\n",
        "/tmp/store\n/tmp/other\n",
    };
    for (const char* org : orgs) {
        SCOPED_TRACE(org);
        freshLoad();
        TestStore store;
        writeFile(store.path("tools/lcdmenu.conf"), "default_entry=0\nmenu_color=5\n");
        writeFile("/tmp/org", org);
        pchost::startScript("exit");

        EXPECT_EQ(plugin_exec(nullptr), 0);

        EXPECT_EQ(mpoint, "/tmp/store");
        EXPECT_EQ(color, "5");
        EXPECT_TRUE(pchost::shownMessages().empty());
    }
}

TEST(PluginExec, KeepsTheMountPointWhenOrgVanishes)
{
    freshLoad();
    TestStore store;
    pchost::startScript("exit");
    plugin_exec(nullptr);
    shell("rm /tmp/org");
    pchost::startScript("snap exit");

    EXPECT_EQ(plugin_exec(nullptr), 0);

    EXPECT_EQ(mpoint, store.root());
    EXPECT_TRUE(pchost::shownMessages().empty());
    ASSERT_EQ(pchost::snaps().size(), 1u);
    EXPECT_THAT(pchost::snaps()[0], HasSubstr("Install new Image"));
}

TEST(PluginExec, FontSizeAndColour)
{
    freshLoad();
    TestStore store;
    pchost::startScript("exit");
    plugin_exec(nullptr);
    EXPECT_EQ(fd, 20);
    EXPECT_EQ(color, "");  // no lcdmenu.conf yet

    setSkinFontSize(26);
    writeFile(store.path("tools/lcdmenu.conf"), "menu_color=8\n");
    pchost::startScript("exit");
    plugin_exec(nullptr);
    EXPECT_EQ(fd, 26);
    EXPECT_EQ(color, "8");
    clearSkinFontSize();  // the host lays out later tests' lists in the default size
}

eListBoxBase* menuList(install& menu)
{
    for (eWidget* child : menu.getChildren()) {
        if (auto* list = dynamic_cast<eListBoxBase*>(child))
            return list;
    }
    return nullptr;
}

TEST(MainMenu, SixEntriesWithTheirKeysAndPlaces)
{
    TestStore store;
    install menu;
    eListBoxBase* list = menuList(menu);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(menu.getText(), "Nimbrel");
    EXPECT_EQ(menu.getClientPosition().x, 200);
    EXPECT_EQ(menu.getClientPosition().y, 150);
    EXPECT_EQ(menu.getClientSize().width(), 280);
    EXPECT_EQ(menu.getClientSize().height(), 200);
    EXPECT_EQ(list->getPosition().x, 10);
    EXPECT_EQ(list->getPosition().y, 10);
    EXPECT_EQ(list->getSize().width(), 260);
    EXPECT_EQ(list->getSize().height(), 180);
    EXPECT_EQ(list->getFlags(), 2);
    const char* const texts[] = {" Install new Image", " Rename Image", " Erase Image",
        " Installed Images", " Menu color", " About..."};
    ASSERT_EQ(list->getEntries().size(), 6u);
    for (int i = 0; i < 6; ++i) {
        auto* entry = static_cast<eListBoxEntryText*>(list->getEntries()[i]);
        EXPECT_EQ(entry->getText(), texts[i]);
        EXPECT_EQ(reinterpret_cast<intptr_t>(entry->getKey()), i);
    }
}

TEST(MainMenu, AboutBoxThenTheMenuAgain)
{
    TestStore store;
    pchost::startScript("down down down down down ok snap ok snap exit");

    EXPECT_EQ(plugin_exec(nullptr), 0);

    ASSERT_EQ(pchost::shownMessages().size(), 1u);
    EXPECT_THAT(pchost::shownMessages()[0], StartsWith("[About...] Nimbrel V1.2  Date: "));
    ASSERT_EQ(pchost::shownBoxIntegers().size(), 1u);
    EXPECT_EQ(pchost::shownBoxIntegers()[0].flags, 1);
    EXPECT_EQ(pchost::shownBoxIntegers()[0].defaultButton, 1);
    EXPECT_EQ(pchost::shownBoxIntegers()[0].timeout, 0);
    ASSERT_EQ(pchost::snaps().size(), 2u);
    EXPECT_THAT(pchost::snaps()[0], HasSubstr("About..."));
    EXPECT_THAT(pchost::snaps()[0], Not(HasSubstr("Install new Image")));
    EXPECT_THAT(pchost::snaps()[1], HasSubstr("Install new Image"));
    EXPECT_THAT(pchost::snaps()[1], HasSubstr("About..."));
}

TEST(MainMenu, ExitClosesTheMenuWithoutEndlessExits)
{
    TestStore store;
    pchost::startScript("down exit");
    EXPECT_NO_THROW(EXPECT_EQ(plugin_exec(nullptr), 0));
    EXPECT_TRUE(pchost::shownMessages().empty());
}

} // namespace
