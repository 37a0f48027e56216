#include <gtest/gtest.h>

#include <string>

#include "host/elabel.h"
#include "host/elistbox.h"
#include "pchost/session.h"

// Combo box, input field, check box and status bar driven by keys.
namespace {

int runKeys(eWindow& window, const char* keys)
{
    pchost::startScript(keys);
    window.show();
    return window.exec();
}

TEST(ComboBox, OpensChoosesAndCancels)
{
    struct Case {
        const char* keys;
        const char* current;
        const char* changes;
    };
    const Case cases[] = {
        {"ok down ok", "y", "y"},
        {"ok down exit", "x", ""},  // exit only closes the list
        {"ok up ok", "x", "x"},
        {"ok down down down down ok", "z", "z"},
        {"ok down ok ok down ok", "z", "yz"},
        {"down", "x", ""},  // closed, it leaves up and down to the window
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        eWindow window;
        auto* combo = new eComboBox(&window, 4);
        for (const char* text : {"x", "y", "z"})
            new eListBoxEntryText(combo->getListBox(), text);
        std::string changes;
        combo->selchanged.connect([&changes](eListBoxEntryText* entry) { changes += entry->getText(); });

        EXPECT_EQ(runKeys(window, c.keys), -1);
        EXPECT_FALSE(combo->isOpen());
        EXPECT_EQ(combo->getCurrent()->getText(), c.current);
        EXPECT_EQ(changes, c.changes);
    }
}

TEST(ComboBox, CurrentEntry)
{
    eWindow window;
    auto* combo = new eComboBox(&window, 4);
    EXPECT_EQ(combo->getCurrent(), nullptr);
    EXPECT_EQ(combo->setCurrent(0, false), -1);
    new eListBoxEntryText(combo->getListBox(), "x");
    new eListBoxEntryText(combo->getListBox(), "y");
    int changes = 0;
    combo->selchanged.connect([&changes](eListBoxEntryText*) { ++changes; });

    EXPECT_EQ(combo->getCurrent()->getText(), "x");
    EXPECT_EQ(combo->setCurrent(1, false), 0);
    EXPECT_EQ(combo->getCurrent()->getText(), "y");
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(combo->setCurrent(0, true), 0);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(combo->setCurrent(2, true), -1);
    EXPECT_EQ(combo->getCurrent()->getText(), "x");
}

TEST(InputField, TypesUseableCharactersUpToItsMaximum)
{
    struct Case {
        const char* keys;
        const char* text;
    };
    const Case cases[] = {
        {"ok text:abc ok", "abc"},
        {"ok text:aXb?c ok", "abc"},
        {"ok text:abcabc ok", "abca"},
        {"text:abc", ""},  // not editing
        {"ok text:abc left ok", "ab"},
        {"ok left left ok", ""},
        {"ok text:ab exit text:c", "ab"},
        {"ok 1 2 7 ok", "12"},
        {"ok text:\"a b\" ok", "a b"},
        {"ok text:a yellow ok", "A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        eWindow window;
        auto* field = new eTextInputField(&window);
        field->setMaxChars(4);
        field->setUseableChars("abcAB 12");
        runKeys(window, c.keys);
        EXPECT_EQ(field->getText(), c.text);
        EXPECT_FALSE(field->isEditing());
    }
}

TEST(StatusBar, ShowsTheFocusedHelpTextOrTheEditHelpText)
{
    eWindow window;
    window.cresize(eSize(400, 200));
    auto* field = new eTextInputField(&window);
    field->setHelpText("Press OK to edit");
    field->setEditHelpText("Typing now");
    auto* button = new eButton(&window);
    button->setHelpText("Press OK to go");
    auto* bar = new eStatusBar(&window);
    bar->move(ePoint(0, 160));
    bar->resize(eSize(400, 40));
    EXPECT_EQ(bar->getShownText(), "Press OK to edit");

    runKeys(window, "snap ok snap ok down snap");

    const auto& snaps = pchost::snaps();
    ASSERT_EQ(snaps.size(), 3u);
    const char* const expected[] = {"Press OK to edit", "Typing now", "Press OK to go"};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NE(snaps[i].find(expected[i]), std::string::npos);
        for (size_t j = 0; j < 3; ++j) {
            if (j != i) {
                EXPECT_EQ(snaps[i].find(expected[j]), std::string::npos);
            }
        }
    }
}

TEST(Checkbox, TogglesOnOk)
{
    const char* const keys[] = {"", "ok", "ok ok", "ok ok ok"};
    for (int presses = 0; presses < 4; ++presses) {
        SCOPED_TRACE(keys[presses]);
        eWindow window;
        auto* box = new eCheckbox(&window, 0, 1);
        int signals = 0;
        box->selected.connect([&signals] { ++signals; });
        runKeys(window, keys[presses]);
        EXPECT_EQ(box->isChecked() != 0, presses % 2 == 1);
        EXPECT_EQ(signals, presses);
    }
}

} // namespace
