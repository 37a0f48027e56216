#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/eskin.h"
#include "manage/menucolor.h"
#include "pchost/session.h"
#include "plugin/globals.h"
#include "tests/support.h"

using ::testing::HasSubstr;

namespace {

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

    TestStore store;
};

TEST_F(MenucolorTest, LeavingWritesTheChosenOrTheKeptColour)
{
    store.addSlot(1, "name=One\n");
    const struct {
        std::string keys, before, code;
    } cases[] = {
        {"ok", "7", "2"},
        {"down ok", "7", "3"},
        {"down down down ok", "7", "5"},
        {"down down down down down down ok", "7", "8"},
        {"down exit", "6", "6"},
        {"exit", "", ""},
    };
    std::string first;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        shell("rm -f " + store.path("tools/lcdmenu.conf") + " " + store.path("tools/menu"));
        color = c.before;
        EXPECT_EQ(0, runMenucolor("snap " + c.keys));
        EXPECT_EQ(c.code, color);
        EXPECT_EQ(c.code, getInfo(store.path("tools/lcdmenu.conf").c_str(), "menu_color"));
        EXPECT_THAT(readFile(store.path("tools/lcdmenu.conf")), HasSubstr("menu_items=TovraImage,One,\n"));
        EXPECT_TRUE(pathExists(store.path("tools/menu")));
        EXPECT_TRUE(pchost::shownMessages().empty());
        // Every opening looks the same: no entry is marked for the colour.
        first = first.empty() ? pchost::snaps().at(0) : first;
        EXPECT_EQ(pchost::snaps().at(0), first);
    }
    for (const char* entry : {" green", " cyan", " red", " magenta", " orange", " white", " gray"})
        EXPECT_THAT(first, HasSubstr(entry));
}

TEST_F(MenucolorTest, BootMenuThatCannotBeWrittenIsReported)
{
    // A mount point where the new script goes cannot be replaced.
    shell("mkdir " + store.path("tools/menu.new") + " && mount -t tmpfs trap " + store.path("tools/menu.new"));
    EXPECT_EQ(0, runMenucolor("ok ok"));
    EXPECT_EQ(pchost::shownMessages(), std::vector<std::string>{"[ERROR] could not write boot menu"});
    EXPECT_EQ(pchost::shownBoxIntegers().at(0).flags, 1);
    EXPECT_FALSE(pathExists(store.path("tools/lcdmenu.conf")));
    shell("umount " + store.path("tools/menu.new"));
}

} // namespace
