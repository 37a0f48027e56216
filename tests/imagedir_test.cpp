#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <libintl.h>
#include <typeinfo>

#include "host/elabel.h"
#include "host/elistbox.h"
#include "install/imagedir.h"
#include "pchost/session.h"
#include "plugin/globals.h"
#include "tests/images.h"
#include "tests/support.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

template <class Widget>
std::vector<Widget*> childrenOf(const eWidget& window)
{
    std::vector<Widget*> found;
    for (eWidget* child : window.getChildren()) {
        if (typeid(*child) == typeid(Widget))
            found.push_back(static_cast<Widget*>(child));
    }
    return found;
}

// The entry texts of the image files' (0) or the slots' (1) combo box.
std::vector<std::string> entries(const Imagedir& dialog, int box)
{
    std::vector<std::string> texts;
    for (eListBoxEntry* entry : childrenOf<eComboBox>(dialog).at(box)->getListBox()->getEntries()) {
        auto* row = static_cast<eListBoxEntryText*>(entry);
        EXPECT_EQ(*static_cast<const eString*>(row->getKey()), row->getText());
        texts.push_back(row->getText());
    }
    return texts;
}

std::string current(const Imagedir& dialog, int box)
{
    eListBoxEntryText* entry = childrenOf<eComboBox>(dialog).at(box)->getCurrent();
    return entry ? entry->getText() : "(none)";
}

// A disk of its own under the store, so that its free space can be set.
struct Disk {
    Disk() { shell("mkdir -p /tmp/disk && mount -t tmpfs disk /tmp/disk"); }
    ~Disk() { shell("umount /tmp/disk && rmdir /tmp/disk; rmdir /tmp/image 2>/dev/null; rm -rf /var/tuxbox/config"); }
    // Leaves exactly KILOBYTES free.
    void leaveFree(int kilobytes) const
    {
        shell("used=$(df -k --output=used /tmp/disk | tail -n 1) &&"
            " mount -o remount,size=$((used + " + std::to_string(kilobytes) + "))k /tmp/disk");
    }
};

class ImagedirTest : public ::testing::Test {
protected:
    ImagedirTest()
    {
        fd = 20;
        useCramfsStandIn();
        writeFlashSettings();
    }

    // Runs a fresh dialog on KEYS; returns the Install button's help text
    // and the free space label.
    static std::pair<std::string, std::string> runDialog(const std::string& keys)
    {
        pchost::startScript(keys);
        Imagedir dialog;
        dialog.show();
        dialog.exec();
        EXPECT_FALSE(dialog.isVisible());
        return {childrenOf<eButton>(dialog).at(0)->getHelpText(), childrenOf<eLabel>(dialog).at(3)->getText()};
    }

    Disk disk;
};

TEST_F(ImagedirTest, WidgetsTextsAndStartingState)
{
    struct Row {
        const std::type_info& kind;
        const char* text;  // null: filled in elsewhere
        const char* help;
    };
    const Row rows[] = {
        {typeid(eLabel), "available Image", ""},
        {typeid(eComboBox), "", "Press OK and choose a Image"},
        {typeid(eLabel), "Directory:", ""},
        {typeid(eComboBox), "", "Press OK and choose a Directory"},
        {typeid(eLabel), "Image - Name:", ""},
        {typeid(eTextInputField), "", "Press OK to edit Name"},
        {typeid(eCheckbox), "Settings copy from Flash-Image", "copy from /var/tuxbox/config/enigma"},
        {typeid(eLabel), nullptr, ""},
        {typeid(eButton), "Install", ""},
        {typeid(eStatusBar), "", ""},
    };
    TestStore store;
    Imagedir dialog;
    EXPECT_EQ(dialog.getText(), "Install Image");
    ASSERT_EQ(dialog.getChildren().size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(i);
        const eWidget& child = *dialog.getChildren()[i];
        EXPECT_EQ(typeid(child), rows[i].kind);
        EXPECT_EQ(child.getText(), rows[i].text ? rows[i].text : child.getText());
        EXPECT_EQ(child.getHelpText(), rows[i].help);
        bool plain = typeid(child) == typeid(eLabel) || typeid(child) == typeid(eCheckbox);
        EXPECT_EQ(dynamic_cast<const eDecoWidget&>(child).isDecoLoaded(), !plain);
    }
    auto* button = childrenOf<eButton>(dialog).at(0);
    EXPECT_EQ(button->getShortcut(), "green");
    EXPECT_EQ(button->getShortcutPixmap(), "green");
    EXPECT_FALSE(childrenOf<eCheckbox>(dialog).at(0)->isChecked());
    auto* name = childrenOf<eTextInputField>(dialog).at(0);
    EXPECT_EQ(name->getEditHelpText(), "Entering Name (Yellow a>A)");
    EXPECT_EQ(name->getText(), "");
    name->typeText("a_Z/9 0-+:.zq");
    EXPECT_EQ(name->getText(), "aZ9 0-+:.z");
}

void put32(std::string& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out += static_cast<char>(value >> shift & 0xff);
}

// A message catalogue as gettext reads it; PAIRS sorted by original.
std::string catalogue(const std::vector<std::pair<std::string, std::string>>& pairs)
{
    const uint32_t count = pairs.size(), tables = 28 + 16 * count;
    std::string head, originals, translations, strings;
    for (uint32_t value : {0x950412deU, 0U, count, 28U, 28 + 8 * count, 0U, tables})
        put32(head, value);
    for (bool translated : {false, true}) {
        for (const auto& pair : pairs) {
            const std::string& text = translated ? pair.second : pair.first;
            put32(translated ? translations : originals, text.size());
            put32(translated ? translations : originals, tables + strings.size());
            strings += text + '\0';
        }
    }
    return head + originals + translations + strings;
}

TEST_F(ImagedirTest, TheTwoCatalogueTextsAreTranslated)
{
    writeFile("/tmp/locale/xx/LC_MESSAGES/messages.mo",
        catalogue({{"Directory:", "Verzeichnis:"}, {"available Image", "Images da"},
            {"copy from /var/tuxbox/config/enigma", "aus /var/tuxbox/config/enigma"}}));
    setenv("LANGUAGE", "xx", 1);
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    bindtextdomain("messages", "/tmp/locale");
    TestStore store;

    {
        Imagedir dialog;
        EXPECT_EQ(childrenOf<eLabel>(dialog).at(0)->getText(), "Images da");
        EXPECT_EQ(childrenOf<eLabel>(dialog).at(1)->getText(), "Directory:");
        EXPECT_EQ(childrenOf<eCheckbox>(dialog).at(0)->getHelpText(), "aus /var/tuxbox/config/enigma");
    }
    unsetenv("LANGUAGE");
    std::setlocale(LC_ALL, "C");
    shell("rm -r /tmp/locale");
}

TEST_F(ImagedirTest, ListsEntriesWhoseNameHoldsDotImg)
{
    TestStore store;
    for (const char* file : {"a.img", "b.img.bak", "c.imgx", "d.IMG", "e.bin", "sub/f.img"})
        writeFile(store.path(file), "x");
    shell("mkdir " + store.path("old.img"));

    Imagedir dialog;

    std::vector<std::string> listed = entries(dialog, 0);
    std::sort(listed.begin(), listed.end());
    EXPECT_THAT(listed, ElementsAre("a.img", "b.img.bak", "c.imgx", "old.img"));
    EXPECT_EQ(current(dialog, 0), entries(dialog, 0).front());
}

TEST_F(ImagedirTest, OffersTheFreeSlots)
{
    struct Case {
        std::vector<int> installed, corrupted;
        bool plainFile6;  // a plain file image/6 is no slot
        std::vector<std::string> offered;
    };
    const std::vector<Case> cases = {
        {{}, {}, false, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}},  // no image directory
        {{0, 1}, {4}, true, {"2", "3", "5", "6", "7", "8", "9"}},
        {{0, 1, 2, 3, 4, 5, 6, 7, 8}, {9}, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offered.size());
        TestStore store;
        for (int slot : c.installed)
            store.addSlot(slot, "name=x\n");
        for (int slot : c.corrupted)
            store.addCorruptedSlot(slot);
        if (c.plainFile6)
            writeFile(store.path("image/6"), "not a directory");

        Imagedir dialog;

        EXPECT_THAT(entries(dialog, 1), ElementsAreArray(c.offered));
        EXPECT_EQ(current(dialog, 1), c.offered.empty() ? "(none)" : c.offered.front());
    }
}

TEST_F(ImagedirTest, InstallsWhatTheKeysChose)
{
    TestStore store("disk/store");
    store.addSlot(0, "name=old\n");
    makeImage(store.path("new.img"), "--two-part");

    auto [help, label] = runDialog("down ok down ok down ok text:\"Sat 1.0\" ok down ok green");

    EXPECT_THAT(pchost::shownMessages(), ElementsAre("[Info] Image is installed"));
    EXPECT_EQ(pchost::shownBoxIntegers().at(0).flags, 1);
    EXPECT_EQ(readFile(store.path("image/2/Image.info")), "name=Sat 1.0\n");
    EXPECT_EQ(readFile(store.path("image/2/var/tuxbox/config/enigma/config")), flashSettings);
    EXPECT_FALSE(pathExists(store.path("new.img")));
    EXPECT_EQ(help, "please wait !!!");
}

TEST_F(ImagedirTest, RefusesWithoutAnImageASlotOrRoomAndTouchesNothing)
{
    const char space[] = "[Error] no Space !!!\\nMemory < 20000 kB\\n";
    const char select[] = "[Error] no Image or no Directory selected";
    const char installed[] = "[Info] Image is installed";
    struct Case {
        bool image;
        bool slotsTaken;
        int free;  // kB; -1: the mount point does not exist
        const char* message;
    };
    const Case cases[] = {
        {false, false, 100000, select},
        {true, true, 100000, select},
        {false, false, 20000, select},
        {false, false, 10000, space},  // the space is checked first
        {true, false, 19996, space},
        {true, false, -1, space},
        {true, false, 20000, installed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.image) + std::to_string(c.slotsTaken) + " " + std::to_string(c.free));
        TestStore store("disk/store");
        if (c.image)
            makeImage(store.path("new.img"));
        for (int slot = 0; c.slotsTaken && slot < 10; ++slot)
            store.addSlot(slot, "name=x\n");
        disk.leaveFree(std::max(c.free, 0));
        if (c.free < 0)
            mpoint = store.path("nowhere");
        std::string before = fingerprint({store.root()}, {});

        auto [help, label] = runDialog("green");

        EXPECT_THAT(pchost::shownMessages(), ElementsAre(c.message));
        EXPECT_EQ(label, std::to_string(std::max(c.free, 0)) + " kB free Memory");
        if (c.message != installed) {
            EXPECT_EQ(pchost::shownBoxIntegers().at(0).flags, 129);
            EXPECT_EQ(changedLines(before, fingerprint({store.root()}, {})), "");
            EXPECT_FALSE(pathExists("/tmp/image"));
            EXPECT_EQ(help, "");
        }
    }
}

} // namespace
