#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <libintl.h>
#include <typeinfo>

#include "host/elabel.h"
#include "host/elistbox.h"
#include "pchost/front/session.h"
#include "pchost/toolkit/skin.h"
#include "pchost/toolkit/widgethost.h"
#include "plugin/globals.h"
#include "plugin/imagedir.h"
#include "plugin/plugin.h"
#include "tests/images.h"
#include "tests/support.h"

using ::testing::ElementsAre;

// The install dialog, and the plug-in's start.
namespace {

template <class Widget>
Widget* child(const eWidget& window, int index = 0)
{
    for (eWidget* widget : window.getChildren()) {
        if (typeid(*widget) == typeid(Widget) && index-- == 0)
            return static_cast<Widget*>(widget);
    }
    return nullptr;
}

// The entry texts of the image files' (0) or the slots' (1) combo box,
// whose first entry is the current one.
std::vector<std::string> entries(const Imagedir& dialog, int box)
{
    eComboBox* combo = child<eComboBox>(dialog, box);
    const std::vector<eListBoxEntry*>& rows = combo->getListBox()->getEntries();
    EXPECT_EQ(combo->getCurrent(), rows.empty() ? nullptr : rows.front());
    std::vector<std::string> texts;
    for (eListBoxEntry* entry : rows)
        texts.push_back(entry->getText());
    return texts;
}

// The store lies on a disk of its own, whose free space a test can set.
class ImagedirTest : public ::testing::Test {
protected:
    ImagedirTest()
    {
        fd = 20;
        useCramfsStandIn();
        writeFlashSettings();
        shell("rmdir /tmp/image 2>/dev/null; mkdir /tmp/disk && mount -t tmpfs disk /tmp/disk");
    }
    ~ImagedirTest() override
    {
        shell("umount /tmp/disk; rmdir /tmp/disk /tmp/image 2>/dev/null; rm -r /var/tuxbox/config");
    }
};

TEST_F(ImagedirTest, ListsFilesHoldingDotImgAndTheFreeSlots)
{
    TestStore store;
    for (const char* file : {"a.img", "b.img.bak", "c.imgx", "d.IMG", "e.bin", "sub/f.img", "old.img/x", "image/6",
             "a.img.md5", "a.img.sha256", "a.md5", "g.img.sha", "h.img.md5", "h.img.sha256"})
        writeFile(store.path(file), "x");  // a file is no slot; checksum files are no images
    store.addSlot(0, "name=x\n");
    store.addSlot(1, "name=x\n");
    store.addCorruptedSlot(4);

    Imagedir dialog;

    std::vector<std::string> listed = entries(dialog, 0);
    std::sort(listed.begin(), listed.end());  // from directory order
    EXPECT_THAT(listed, ElementsAre("a.img", "b.img.bak", "c.imgx", "g.img.sha", "old.img"));
    EXPECT_THAT(entries(dialog, 1), ElementsAre("2", "3", "5", "6", "7", "8", "9"));
}

TEST_F(ImagedirTest, InstallsWhatTheKeysChoseOrRefusesAndTouchesNothing)
{
    const char space[] = "[Error] no Space !!!\\nMemory < 20000 kB\\n";
    const char select[] = "[Error] no Image or no Directory selected";
    const char installed[] = "[Info] Image is installed";
    struct Case {
        bool image;
        int slotsTaken;  // from slot 0 on
        int free;  // kB; -1: the mount point does not exist
        const char* message;
        bool backup = false;  // the image file is one that nimbrel backup wrote
    };
    const Case cases[] = {{false, 1, 100000, select}, {true, 10, 100000, select},
        {false, 1, 20000, select}, {false, 1, 10000, space} /* space first */, {true, 1, 19996, space},
        {true, 1, -1, space}, {true, 1, 20000, installed}, {true, 1, 20000, installed, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        TestStore store("disk/store");
        writeFile(store.path("tools/lcdmenu.conf"), "menu_color=3\n");  // chosen since the plug-in started
        if (c.image) {
            makeImage(store.path("new.img"), c.backup ? "--two-part --head 'backup of Big_1'" : "--two-part");
            shell("cd " + store.root() + " && md5sum new.img >new.img.md5 && sha256sum new.img >new.img.sha256");
        }
        for (int slot = 0; slot < c.slotsTaken; ++slot)
            store.addSlot(slot, "name=x\n");
        shell("used=$(df -k --output=used /tmp/disk | tail -n 1) && mount -o remount,size=$((used + " +
            std::to_string(std::max(c.free, 0)) + "))k /tmp/disk");
        if (c.free < 0)
            mpoint = store.path("nowhere");
        std::string before = fingerprint({store.root()}, {});

        pchost::startScript("down ok down ok down ok text:\"S_a9 1.0/-+:.zq\" ok down ok green");
        Imagedir dialog;
        dialog.show();
        EXPECT_EQ(dialog.exec(), 0);  // closed by the dialog itself, not by an exit
        EXPECT_FALSE(dialog.isVisible());
        std::string help = child<eButton>(dialog)->getHelpText(), label = child<eLabel>(dialog, 3)->getText();

        EXPECT_THAT(pchost::shownMessages(), ElementsAre(c.message));
        EXPECT_EQ(pchost::shownBoxIntegers().at(0).flags, c.message == installed ? 1 : 129);
        EXPECT_EQ(label, std::to_string(std::max(c.free, 0)) + " kB free Memory");
        if (c.message == installed) {
            EXPECT_EQ(readFile(store.path("image/2/Image.info")), "name=Sa9 1.0-+:\n");
            EXPECT_EQ(readFile(store.path("image/2/var/tuxbox/config/enigma/config")), flashSettings);
            for (const char* file : {"new.img", "new.img.md5", "new.img.sha256"})
                EXPECT_EQ(pathExists(store.path(file)), c.backup) << file;  // a backup stays, another two-part goes
            EXPECT_THAT(readFile(store.path("tools/lcdmenu.conf")), ::testing::EndsWith("\nmenu_color=3\n"));
            EXPECT_THAT(help, ::testing::StartsWith("please wait !!!"));  // a slow copy tells its share
        } else {
            EXPECT_EQ(changedLines(before, fingerprint({store.root()}, {})), "");
            EXPECT_FALSE(pathExists("/tmp/image"));
            EXPECT_EQ(help, "");
        }
    }
}

// Another front end takes the chosen slot, or installs the chosen file,
// while the dialog is open: refused by name, nothing touched.
TEST_F(ImagedirTest, SlotOrImageFileTakenWhileTheDialogIsOpen)
{
    for (const char* taken : {"image/0", "new.img"}) {
        SCOPED_TRACE(taken);
        TestStore store("disk/store");
        makeImage(store.path("new.img"));
        pchost::startScript("green");
        Imagedir dialog;
        shell(std::string(taken) == "new.img" ? "rm " + store.path(taken) : "mkdir -p " + store.path(taken));
        std::string before = fingerprint({store.root()}, {});
        dialog.show();
        dialog.exec();
        EXPECT_THAT(pchost::shownMessages(),
            ElementsAre(taken == std::string("new.img") ? "[Error] no image file new.img" : "[Error] slot 0 is not free"));
        EXPECT_EQ(changedLines(before, fingerprint({store.root()}, {})), "");
    }
}

// The status line as the focus moves over each widget: what the screen
// shows where the status bar lies, after its mark column.
TEST_F(ImagedirTest, StatusLineShowsTheFocusedWidgetsHelpText)
{
    TestStore store;
    writeFile(store.path("a.img"), "x");
    const std::pair<const char*, const char*> table[] = {{"", "Press OK and choose a Image"},
        {"ok", "Press OK and choose a Image"}, {"exit down", "Press OK and choose a Directory"},
        {"down", "Press OK to edit Name"}, {"ok", "Entering Name (Yellow a>A)"},
        {"exit down", "copy from /var/tuxbox/config/enigma"}, {"down", ""}};  // Install has none
    std::string keys;
    for (const auto& [moves, text] : table)
        keys += std::string(moves) + " snap ";
    pchost::startScript(keys);
    Imagedir dialog;
    dialog.show();
    dialog.exec();
    auto* bar = child<eStatusBar>(dialog);
    ePoint at = eWidgetHost::screenPosition(bar);
    ASSERT_EQ(pchost::snaps().size(), std::size(table));
    for (size_t i = 0; i < std::size(table); ++i)
        EXPECT_EQ(shownAt(pchost::snaps()[i], at.x + 8, at.y, bar->getSize().w / 8 - 1), table[i].second) << i;
}

// Two texts of the dialog go through the message catalogue; the others,
// "Directory:" among them, never do.
TEST_F(ImagedirTest, TranslatesTheTwoCatalogueTexts)
{
    writeFile("/tmp/xx.po", "msgid \"available Image\"\nmsgstr \"Images da\"\n"
        "msgid \"Directory:\"\nmsgstr \"Verzeichnis:\"\n"
        "msgid \"copy from /var/tuxbox/config/enigma\"\nmsgstr \"aus enigma\"\n");
    ASSERT_EQ(shell("mkdir -p /tmp/locale/xx/LC_MESSAGES && msgfmt -o /tmp/locale/xx/LC_MESSAGES/messages.mo /tmp/xx.po"), 0);
    // Compiled locales hold numbers in the byte order of the CPU that reads
    // them, which the machine's own may not match (an emulated big-endian run).
    const std::string order = __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__ ? "--big-endian" : "--little-endian";
    shell("mkdir -p /tmp/locales && localedef -c -i C -f UTF-8 " + order + " /tmp/locales/C.UTF-8");
    setenv("LOCPATH", "/tmp/locales", 1);
    setenv("LANGUAGE", "xx", 1);
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    bindtextdomain("messages", "/tmp/locale");

    Imagedir dialog;

    EXPECT_EQ(child<eLabel>(dialog, 0)->getText(), "Images da");
    EXPECT_EQ(child<eLabel>(dialog, 1)->getText(), "Directory:");
    EXPECT_EQ(child<eCheckbox>(dialog)->getHelpText(), "aus enigma");
    unsetenv("LANGUAGE");
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
    shell("rm -rf /tmp/locale /tmp/locales /tmp/xx.po");
}


// The plug-in opens on the store named by /tmp/org.
TEST(PluginExec, OpensOnTheFirstLineOfOrgOrRefuses)
{
    struct Case {
        const char* org;  // null: no /tmp/org
        bool earlierCall;  // one on /tmp/old with font size 26 went first
        const char *opensOn, *color;  // opensOn null: refused
        const char* refusal = "[Nimbrel] Tovra-Image must be started!";
        bool pipe = false;  // a pipe nobody writes to at /tmp/org
    };
    const Case cases[] = {{nullptr, false, nullptr, ""}, {"", false, nullptr, ""},
        {"\r\n", false, nullptr, ""}, {"", true, nullptr, "3"}, {"\n", true, nullptr, "3"},
        {nullptr, true, "/tmp/old", "3"}, {"/tmp/store", false, "/tmp/store", "5"},
        {"/tmp/store\r\n", false, "/tmp/store", "5"}, {"/tmp/store\n/tmp/old\n", true, "/tmp/store", "5"},
        {"/tmp/nowhere\n", true, nullptr, "3", "[Error] image store not found: /tmp/nowhere"},
        {"/tmp/store/tools/menu.org", false, nullptr, "", "[Error] image store not found: /tmp/store/tools/menu.org"},
        {nullptr, false, nullptr, "", "[Nimbrel] Tovra-Image must be started!", true}};
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
        if (c.pipe)
            shell("mkfifo /tmp/org");
        pchost::startScript("snap exit");

        alarm(60);  // waiting on the pipe ends the test program
        EXPECT_EQ(plugin_exec(nullptr), 0);
        alarm(0);

        // The menu's list where the window asks: client area at (200, 150), list at (10, 10).
        EXPECT_EQ(shownAt(pchost::snaps().at(0), 210, 160, 32, 6) == "> Install new Image\n  Rename Image\n"
            "  Erase Image\n  Installed Images\n  Menu color\n  About...", c.opensOn != nullptr);
        EXPECT_EQ(color, c.color);
        EXPECT_EQ(fd, c.opensOn ? 20 : fdBefore);  // the skin has no font size now
        if (c.opensOn) {
            EXPECT_EQ(mpoint, c.opensOn);
            EXPECT_THAT(pchost::shownMessages(), ElementsAre());
        } else {
            EXPECT_THAT(pchost::shownMessages(), ElementsAre(c.refusal));
            EXPECT_EQ(pchost::shownBoxIntegers().at(0).flags, 129);  // an error box
        }
    }
}

} // namespace
