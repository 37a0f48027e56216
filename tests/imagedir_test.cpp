#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
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
using ::testing::IsEmpty;

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

// The image files (first) and slots (second) combo boxes' entry texts.
std::vector<std::string> entries(const Imagedir& dialog, int box)
{
    std::vector<std::string> texts;
    eComboBox* combo = childrenOf<eComboBox>(dialog).at(box);
    for (eListBoxEntry* entry : combo->getListBox()->getEntries()) {
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

class ImagedirTest : public ::testing::Test {
protected:
    ImagedirTest()
    {
        fd = 24;
        useCramfsStandIn();
        writeFlashSettings();
    }

    TestStore store;
};

TEST_F(ImagedirTest, WidgetsWhereTheyBelong)
{
    struct Row {
        const std::type_info& kind;
        const char* text;  // null: filled in elsewhere
        ePoint position;
        eSize size;
        const char* help;
    };
    const Row rows[] = {
        {typeid(eLabel), "available Image", {100, 10}, {150, 28}, ""},
        {typeid(eComboBox), nullptr, {10, 40}, {320, 39}, "Press OK and choose a Image"},
        {typeid(eLabel), "Directory:", {10, 90}, {110, 34}, ""},
        {typeid(eComboBox), nullptr, {10, 120}, {90, 39}, "Press OK and choose a Directory"},
        {typeid(eLabel), "Image - Name:", {160, 90}, {170, 34}, ""},
        {typeid(eTextInputField), "", {160, 120}, {170, 39}, "Press OK to edit Name"},
        {typeid(eCheckbox), "Settings copy from Flash-Image", {10, 190}, {350, 34},
            "copy from /var/tuxbox/config/enigma"},
        {typeid(eLabel), nullptr, {10, 240}, {350, 28}, ""},
        {typeid(eButton), "Install", {10, 280}, {150, 34}, ""},
    };
    Imagedir dialog;
    EXPECT_EQ(dialog.getText(), "Install Image");
    EXPECT_EQ(dialog.getPosition().x, 180);
    EXPECT_EQ(dialog.getPosition().y, 100);
    EXPECT_EQ(dialog.getSize().width(), 370);
    EXPECT_EQ(dialog.getSize().height(), 420);
    const std::vector<eWidget*>& children = dialog.getChildren();
    ASSERT_EQ(children.size(), std::size(rows) + 1);
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(i);
        const eWidget& child = *children[i];
        EXPECT_EQ(typeid(child), rows[i].kind);
        if (rows[i].text) {
            EXPECT_EQ(child.getText(), rows[i].text);
        }
        EXPECT_EQ(child.getPosition().x, rows[i].position.x);
        EXPECT_EQ(child.getPosition().y, rows[i].position.y);
        EXPECT_EQ(child.getSize().width(), rows[i].size.width());
        EXPECT_EQ(child.getSize().height(), rows[i].size.height());
        EXPECT_EQ(child.getHelpText(), rows[i].help);
    }
    auto* status = dynamic_cast<eStatusBar*>(children.back());
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->getPosition().y, dialog.getClientSize().height() - 40);
    EXPECT_EQ(status->getSize().width(), dialog.getClientSize().width());
    EXPECT_EQ(status->getSize().height(), 40);
}

TEST_F(ImagedirTest, DecorationShortcutAndStartingState)
{
    Imagedir dialog;
    auto* button = childrenOf<eButton>(dialog).at(0);
    EXPECT_EQ(button->getShortcut(), "green");
    EXPECT_EQ(button->getShortcutPixmap(), "green");
    auto* name = childrenOf<eTextInputField>(dialog).at(0);
    auto* settings = childrenOf<eCheckbox>(dialog).at(0);
    EXPECT_EQ(name->getText(), "");
    EXPECT_EQ(name->getEditHelpText(), "Entering Name (Yellow a>A)");
    EXPECT_FALSE(settings->isChecked());
    for (eDecoWidget* decorated : std::vector<eDecoWidget*>{childrenOf<eComboBox>(dialog).at(0),
             childrenOf<eComboBox>(dialog).at(1), name, button,
             childrenOf<eStatusBar>(dialog).at(0)})
        EXPECT_TRUE(decorated->isDecoLoaded()) << decorated->getDecoName();
    EXPECT_EQ(name->getDecoName(), "eNumber");
    EXPECT_EQ(settings->getDecoName(), "eCheckBox");
}

TEST_F(ImagedirTest, NameTakesTenOfTheOfferedCharacters)
{
    const std::pair<const char*, const char*> typed[] = {
        {"Sat 1.0", "Sat 1.0"},
        {"abcdefghijklmn", "abcdefghij"},
        {"a_b/c,d=e;f", "abcdef"},
        {"-+:.09 zZ", "-+:.09 zZ"},
    };
    for (const auto& [text, kept] : typed) {
        SCOPED_TRACE(text);
        Imagedir dialog;
        auto* name = childrenOf<eTextInputField>(dialog).at(0);
        name->typeText(text);
        EXPECT_EQ(name->getText(), kept);
    }
}

TEST_F(ImagedirTest, ListsEntriesWhoseNameHoldsDotImg)
{
    for (const char* file : {"a.img", "b.img.bak", "c.imgx", "d.IMG", "e.bin", "sub/f.img"})
        writeFile(store.path(file), "x");
    shell("mkdir '" + store.path("old.img") + "'");

    Imagedir dialog;

    std::vector<std::string> listed = entries(dialog, 0);
    std::sort(listed.begin(), listed.end());
    EXPECT_THAT(listed, ElementsAre("a.img", "b.img.bak", "c.imgx", "old.img"));
    EXPECT_EQ(current(dialog, 0), entries(dialog, 0).front());
}

TEST_F(ImagedirTest, OffersTheFreeSlots)
{
    struct Case {
        const char* title;
        std::vector<int> installed;
        std::vector<int> corrupted;
        std::vector<std::string> offered;
    };
    const std::vector<Case> cases = {
        {"no image directory", {}, {}, {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"}},
        {"gaps", {0, 1}, {4}, {"2", "3", "5", "6", "7", "8", "9"}},
        {"all ten taken", {0, 1, 2, 3, 4, 5, 6, 7, 8}, {9}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        shell("rm -rf '" + store.path("image") + "'");
        for (int slot : c.installed)
            store.addSlot(slot, "name=x\n");
        for (int slot : c.corrupted)
            store.addCorruptedSlot(slot);

        Imagedir dialog;

        EXPECT_THAT(entries(dialog, 1), ElementsAreArray(c.offered));
        EXPECT_EQ(current(dialog, 1), c.offered.empty() ? "(none)" : c.offered.front());
    }
}

TEST_F(ImagedirTest, PlainFileNamedLikeASlotLeavesItFree)
{
    writeFile(store.path("image/3"), "not a directory");
    Imagedir dialog;
    EXPECT_THAT(entries(dialog, 1), ElementsAre("0", "1", "2", "3", "4", "5", "6", "7", "8", "9"));
}

TEST(ImagedirSpace, LabelShowsTheFreeSpace)
{
    fd = 20;
    shell("mkdir -p /tmp/space && mount -t tmpfs -o size=40000k space /tmp/space");
    const std::pair<const char*, const char*> cases[] = {
        {"/tmp/space", "40000 kB free Memory"},
        {"/tmp/nowhere", "0 kB free Memory"},
    };
    for (const auto& [mountPoint, label] : cases) {
        SCOPED_TRACE(mountPoint);
        mpoint = mountPoint;
        Imagedir dialog;
        EXPECT_EQ(childrenOf<eLabel>(dialog).at(3)->getText(), label);
    }
}

} // namespace
