#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "pchost/session.h"
#include "pchost/skin.h"
#include "plugin/globals.h"
#include "plugin/plugin.h"
#include "tests/support.h"

using ::testing::ElementsAre;
using ::testing::StartsWith;

namespace {

// The flags, default button and timeout of the session's only message box.
std::string boxIntegers()
{
    EXPECT_EQ(pchost::shownBoxIntegers().size(), 1u);
    const pchost::BoxIntegers& box = pchost::shownBoxIntegers().at(0);
    return std::to_string(box.flags) + " " + std::to_string(box.defaultButton) + " " +
        std::to_string(box.timeout);
}

TEST(PluginExec, OpensOnTheFirstLineOfOrgOrRefuses)
{
    struct Case {
        const char* org;  // null: no /tmp/org
        bool earlierCall;  // one on /tmp/old with font size 26 went first
        const char *opensOn, *color;  // opensOn null: refused
    };
    const Case cases[] = {{nullptr, false, nullptr, ""}, {"", false, nullptr, ""},
        {"\r\n", false, nullptr, ""}, {"", true, nullptr, "3"}, {"\n", true, nullptr, "3"},
        {nullptr, true, "/tmp/old", "3"}, {"/tmp/store", false, "/tmp/store", "5"},
        {"/tmp/store\r\n", false, "/tmp/store", "5"}, {"/tmp/store\n/tmp/old\n", true, "/tmp/store", "5"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        TestStore old("old"), store;
        writeFile(old.path("tools/lcdmenu.conf"), "menu_color=3\n");
        writeFile(store.path("tools/lcdmenu.conf"), "menu_color2=9\nmenu_color=5\nmenu_color=6\n");
        mpoint = color = "";  // as the library is loaded
        fd = 0;
        if (c.earlierCall) {
            writeFile("/tmp/org", "/tmp/old\n");
            setSkinFontSize(26);
            pchost::startScript("exit");
            plugin_exec(nullptr);
            EXPECT_EQ(fd, 26);
            clearSkinFontSize();
        }
        const int fdBefore = fd;
        shell("rm /tmp/org");
        if (c.org)
            writeFile("/tmp/org", c.org);
        pchost::startScript("snap exit");

        EXPECT_EQ(plugin_exec(nullptr), 0);

        EXPECT_EQ(pchost::snaps().at(0).find("Install new Image") != std::string::npos, c.opensOn != nullptr);
        EXPECT_EQ(color, c.color);
        EXPECT_EQ(fd, c.opensOn ? 20 : fdBefore);  // the skin has no font size now
        if (c.opensOn) {
            EXPECT_EQ(mpoint, c.opensOn);
            EXPECT_THAT(pchost::shownMessages(), ElementsAre());
        } else {
            EXPECT_THAT(pchost::shownMessages(), ElementsAre("[Nimbrel] Tovra-Image must be started!"));
            EXPECT_EQ(boxIntegers(), "129 1 0");
        }
    }
}

// Each entry's window is opened in Pixels.EveryWindowIsPaintedWhereTheToolkitPlacesIt.
TEST(MainMenu, AboutIsAnInfoBox)
{
    TestStore store;
    pchost::startScript("down down down down down ok");
    EXPECT_EQ(plugin_exec(nullptr), 0);
    EXPECT_THAT(pchost::shownMessages(), ElementsAre(StartsWith("[About...] Nimbrel V1.2  Date: ")));
    EXPECT_EQ(boxIntegers(), "1 1 0");
}

} // namespace
