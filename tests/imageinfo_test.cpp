#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

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
        writeFile(store.path("tools/du"), fakeDu, 0755);
        shell("rm -rf /tmp/du.temp /tmp/du.log");
    }

    // Runs the overview as the main menu does; returns its screen and the
    // texts of its labels.
    std::string runImageinfo(std::vector<std::string>& texts)
    {
        pchost::startScript("snap green");
        Imageinfo window;
        window.show();
        EXPECT_EQ(window.exec(), 0);
        window.hide();
        for (const eWidget* child : window.getChildren())
            texts.push_back(child->getText());
        return pchost::snaps().at(0);
    }

    TestStore store;
};

TEST(SizeText, TakesTheFieldBeforeTheSeparatorOfAPlainFile)
{
    const struct {
        const char* prepare;  // makes /tmp/d
        std::string expected;
    } cases[] = {
        {"printf '123\\t/hdd/image/3\\n' >/tmp/d", "123 kB"},
        {"true >/tmp/d", "? kB"},  // right after a row with a size: nothing may carry over
        {"printf '98765 /hdd/image/0\\nsecond line/\\n' >/tmp/d", "98765 kB"},
        {"printf 'no slash at all\\n' >/tmp/d", "no slash at all\n kB"},
        {"printf '/hdd/image/3\\n' >/tmp/d", "/hdd/image/3\n kB"},
        {"printf '7/x\\n' >/tmp/d", " kB"},
        {"printf '123\\t' >/tmp/d", "123\t kB"},
        {"head -c 1500 /dev/zero | tr '\\0' 9 >/tmp/d", std::string(1023, '9') + " kB"},
        {"true", ""},  // no file
        {"printf '1\\t/x\\n' >/tmp/target && ln -s /tmp/target /tmp/d", ""},
        {"mkdir /tmp/d", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.prepare);
        shell("rm -rf /tmp/d && " + std::string(c.prepare));
        EXPECT_EQ(sizeText("/tmp/d"), c.expected);
    }
    // A pipe: opening it must not wait for a writer, and one with a line
    // waiting in it is not read either.
    shell("rm -rf /tmp/d && mkfifo /tmp/d");
    alarm(5);  // a wait ends the test program
    EXPECT_EQ(sizeText("/tmp/d"), "");
    int writer = open("/tmp/d", O_RDWR);
    ASSERT_EQ(write(writer, "5\t/x\n", 5), 5);
    EXPECT_EQ(sizeText("/tmp/d"), "");
    alarm(0);
    close(writer);
}

TEST_F(ImageinfoTest, MeasuresWithTheStoresDuIntoAFreshFile)
{
    store.addSlot(4, "name=Four\n");
    writeFile("/tmp/victim", "untouched\n");
    const struct {
        const char* prepare;  // done to /tmp/du.temp and tools/du
        const char* size;
    } cases[] = {
        {"true", "123 kB"},
        {"ln -s /tmp/victim /tmp/du.temp", "123 kB"},
        {"mkfifo /tmp/du.temp", "123 kB"},
        {"mkdir -p /tmp/du.temp/x", "123 kB"},
        {"echo '555\t/stale/row' >/tmp/du.temp && rm tools/du", "? kB"},  // du cannot start
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.prepare);
        shell("rm -rf /tmp/du.temp && cd " + store.root() + " && " + c.prepare);
        EXPECT_EQ(measureSlot(4), c.size);
        EXPECT_EQ(shell("test -f /tmp/du.temp && ! test -L /tmp/du.temp"), 0);
        EXPECT_EQ(readFile("/tmp/victim"), "untouched\n");
    }
}

TEST_F(ImageinfoTest, RowsShowNameAndSizeOrState)
{
    store.addSlot(0, "name=Zero\n");
    store.addSlot(3, "name=\n");
    store.addCorruptedSlot(6);
    store.addSlot(10, "name=Ten\n");
    std::vector<std::string> texts;
    std::string screen = runImageinfo(texts);
    for (int slot = 0; slot < 10; ++slot)
        EXPECT_THAT(screen, HasSubstr("Image " + std::to_string(slot) + ":"));
    EXPECT_THAT(screen, Not(HasSubstr("Image 10:")));
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "123 kB"), 2);
    for (const char* text : {"Zero", "", "corrupted"})
        EXPECT_EQ(std::count(texts.begin(), texts.end(), text), 1) << text;
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "----------"), 7);
    EXPECT_EQ(readFile("/tmp/du.log"), store.path("image/0") + "\n" + store.path("image/3") + "\n");
}

TEST_F(ImageinfoTest, MainMenuEntryOpensTheOverview)
{
    pchost::startScript("down down down ok snap green exit");
    plugin_exec(nullptr);
    EXPECT_THAT(pchost::snaps().at(0), HasSubstr("Image Info"));
}

} // namespace
