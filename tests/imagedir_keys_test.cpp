#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <typeinfo>

#include "host/elabel.h"
#include "install/imagedir.h"
#include "pchost/session.h"
#include "plugin/globals.h"
#include "plugin/plugin.h"
#include "tests/images.h"
#include "tests/support.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

const char spaceRefusal[] = "[Error] no Space !!!\\nMemory < 20000 kB\\n";
const char selectRefusal[] = "[Error] no Image or no Directory selected";

eButton* installButton(const Imagedir& dialog)
{
    for (eWidget* child : dialog.getChildren()) {
        if (typeid(*child) == typeid(eButton))
            return static_cast<eButton*>(child);
    }
    return nullptr;
}

// Runs a fresh dialog on KEYS; returns the Install button's help text after.
std::string runDialog(const std::string& keys)
{
    pchost::startScript(keys);
    Imagedir dialog;
    dialog.show();
    dialog.exec();
    EXPECT_FALSE(dialog.isVisible());
    return installButton(dialog)->getHelpText();
}

// A store on a file system of its own, whose free space the test sets.
struct SizedStore {
    explicit SizedStore(const std::string& top)
    {
        shell("mkdir -p /tmp/" + top + " && mount -t tmpfs " + top + " /tmp/" + top);
        store = std::make_unique<TestStore>(top + "/store");
        mount = "/tmp/" + top;
    }
    // Leaves exactly KILOBYTES free.
    void leaveFree(int kilobytes) const
    {
        shell("used=$(df -k --output=used " + mount + " | tail -n 1) &&"
            " mount -o remount,size=$((used + " + std::to_string(kilobytes) + "))k " + mount);
    }
    std::unique_ptr<TestStore> store;
    std::string mount;
};

class ImagedirKeysTest : public ::testing::Test {
protected:
    ImagedirKeysTest()
    {
        fd = 20;
        useCramfsStandIn();
        writeFlashSettings();
    }
};

TEST_F(ImagedirKeysTest, InstallsWhatTheKeysChose)
{
    TestStore store;
    store.addSlot(0, "name=old\n");
    makeImage(store.path("new.img"), "--two-part");

    std::string help = runDialog("down ok down ok down ok text:\"Sat 1.0\" ok down ok green");

    EXPECT_THAT(pchost::shownMessages(), ElementsAre("[Info] Image is installed"));
    EXPECT_EQ(pchost::shownBoxIntegers().at(0).flags, 1);
    EXPECT_EQ(readFile(store.path("image/2/Image.info")), "name=Sat 1.0\n");
    EXPECT_EQ(readFile(store.path("image/2/var/tuxbox/config/enigma/config")), flashSettings);
    EXPECT_FALSE(pathExists(store.path("new.img")));
    EXPECT_EQ(help, "please wait !!!");
}

TEST_F(ImagedirKeysTest, FailureShownAndDialogClosed)
{
    TestStore store;
    writeFile(store.path("junk.img"), std::string(4096, 'j'));

    runDialog("green");

    EXPECT_THAT(pchost::shownMessages(), ElementsAre("[ERROR] could not mount cramfs"));
    EXPECT_EQ(pchost::shownBoxIntegers().at(0).flags, 1);
    EXPECT_TRUE(pathExists(store.path("junk.img")));
}

TEST_F(ImagedirKeysTest, RefusalsTouchNothing)
{
    struct Case {
        const char* title;
        bool image;
        bool slotsTaken;
        int freeKilobytes;  // 0: the plenty of /tmp
        const char* message;
    };
    const Case cases[] = {
        {"no image, room enough", false, false, 0, selectRefusal},
        {"no free slot, room enough", true, true, 0, selectRefusal},
        {"no image, too little room", false, false, 10000, spaceRefusal},
        {"an image, too little room", true, false, 19996, spaceRefusal},
    };
    int run = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        SizedStore sized("sized" + std::to_string(run++));
        const TestStore& store = *sized.store;
        if (c.image)
            makeImage(store.path("new.img"));
        for (int slot = 0; c.slotsTaken && slot < 10; ++slot)
            store.addSlot(slot, "name=x\n");
        if (c.freeKilobytes)
            sized.leaveFree(c.freeKilobytes);
        shell("rm -rf /tmp/image");
        std::string before = fingerprint({store.root()}, {});

        std::string help = runDialog("green");

        EXPECT_THAT(pchost::shownMessages(), ElementsAre(c.message));
        EXPECT_EQ(pchost::shownBoxIntegers().at(0).flags, 129);
        EXPECT_EQ(changedLines(before, fingerprint({store.root()}, {})), "");
        EXPECT_FALSE(pathExists("/tmp/image"));
        EXPECT_EQ(help, "");
    }
}

TEST_F(ImagedirKeysTest, ExactlyTheNeededSpaceInstalls)
{
    SizedStore sized("exact");
    makeImage(sized.store->path("new.img"));
    sized.leaveFree(20000);

    runDialog("green");

    EXPECT_THAT(pchost::shownMessages(), ElementsAre("[Info] Image is installed"));
}

TEST_F(ImagedirKeysTest, OpenedFromTheMainMenu)
{
    TestStore store;
    makeImage(store.path("new.img"));
    pchost::startScript("ok snap green ok snap exit");

    EXPECT_EQ(plugin_exec(nullptr), 0);

    EXPECT_THAT(pchost::shownMessages(), ElementsAre("[Info] Image is installed"));
    ASSERT_EQ(pchost::snaps().size(), 2u);
    EXPECT_THAT(pchost::snaps()[0], HasSubstr("Install Image"));
    EXPECT_THAT(pchost::snaps()[1], HasSubstr("Install new Image"));
    EXPECT_EQ(readFile(store.path("image/0/Image.info")), "name=Image-0\n");
}

} // namespace
