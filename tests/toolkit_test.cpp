#include <gtest/gtest.h>

#include <string>

#include "host/elabel.h"
#include "host/elistbox.h"
#include "pchost/session.h"

// Widget behaviour as a user drives it: keys from a script, into a window
// run modally. Once the keys run out, exit is pressed.
namespace {

int runKeys(eWindow& window, const char* keys)
{
    pchost::startScript(keys);
    window.show();
    return window.exec();
}

// A button that writes its name to LOG when pressed.
eButton* loggingButton(eWidget* parent, const char* name, std::string& log)
{
    auto* button = new eButton(parent);
    button->setText(name);
    button->selected.connect([&log, name] { log += name; });
    return button;
}

TEST(Focus, MovesOverFocusableShownWidgetsInCreationOrder)
{
    struct Case {
        const char* keys;
        const char* pressed;
    };
    const Case cases[] = {
        {"ok", "a"},
        {"down ok", "c"},  // the label and the hidden button are passed over
        {"down down ok", "d"},
        {"down down down ok", "d"},  // stays on the last one
        {"up ok", "a"},
        {"down down up ok", "c"},
        {"down ok up ok", "ca"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        std::string log;
        eWindow window;
        loggingButton(&window, "a", log);
        new eLabel(&window);
        loggingButton(&window, "b", log)->hide();
        loggingButton(&window, "c", log);
        loggingButton(&window, "d", log);

        EXPECT_EQ(runKeys(window, c.keys), -1);
        EXPECT_EQ(log, c.pressed);
    }
}

TEST(Focus, LeavesAWidgetThatIsDeleted)
{
    std::string log;
    eWindow window;
    loggingButton(&window, "a", log);
    eButton* b = loggingButton(&window, "b", log);
    b->selected.connect([b] { delete b; });
    runKeys(window, "down ok ok");
    EXPECT_EQ(log, "ba");
    EXPECT_EQ(window.getChildren().size(), 1u);
}

TEST(Shortcut, PressesItsButtonFromAnywhereInTheWindow)
{
    struct Case {
        const char* keys;
        const char* pressed;
    };
    const Case cases[] = {
        {"green", "g"},
        {"down down green", "g"},
        {"red", ""},
        {"yellow", ""},  // its button is hidden
        {"ok down ok green", "cgg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        std::string log;
        eWindow window;
        loggingButton(&window, "c", log);
        loggingButton(&window, "g", log)->setShortcut("green");
        eButton* hidden = loggingButton(&window, "y", log);
        hidden->setShortcut("yellow");
        hidden->hide();
        runKeys(window, c.keys);
        EXPECT_EQ(log, c.pressed);
    }
}

TEST(Shortcut, FocusesItsButtonSoTheStatusBarShowsItsHelpWhileItWorks)
{
    eWindow window;
    auto* first = new eButton(&window);
    first->setHelpText("first help");
    auto* install = new eButton(&window);
    install->setShortcut("green");
    auto* status = new eStatusBar(&window);
    eString shownWhilePressed;
    install->selected.connect([&] {
        install->setHelpText("please wait !!!");
        shownWhilePressed = status->getShownText();
    });

    runKeys(window, "green");

    EXPECT_EQ(shownWhilePressed, "please wait !!!");
}

TEST(ModalLoop, ReturnsTheResultOfCloseAndNests)
{
    struct Case {
        const char* keys;
        int inner;
        int outer;
    };
    const Case cases[] = {
        {"exit", 99, -1},  // the host closes a window on exit
        {"green", 99, 3},
        {"ok ok", 7, -1},
        {"ok exit", -1, -1},
        {"ok ok green", 7, 3},
        {"ok down ok", 0, -1},  // accept
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        int inner = 99;
        eWindow outer;
        auto* open = new eButton(&outer);
        open->selected.connect([&inner] {
            eWindow dialog;
            auto* seven = new eButton(&dialog);
            seven->selected.connect([&dialog] { dialog.close(7); });
            auto* zero = new eButton(&dialog);
            zero->selected.connect([&dialog] { dialog.accept(); });
            dialog.show();
            inner = dialog.exec();
            dialog.hide();
        });
        auto* three = new eButton(&outer);
        three->setShortcut("green");
        three->selected.connect([&outer] { outer.close(3); });

        EXPECT_EQ(runKeys(outer, c.keys), c.outer);
        EXPECT_EQ(inner, c.inner);
    }
}

TEST(ModalLoop, GivesUpAfterAHundredUnansweredExits)
{
    eWindow window;
    auto* list = new eListBox<eListBoxEntryText>(&window);
    int nulls = 0;
    list->selected.connect([&nulls](eListBoxEntryText* entry) { nulls += entry == nullptr; });
    EXPECT_THROW(runKeys(window, "down"), pchost::ScriptExhausted);
    EXPECT_EQ(nulls, 100);
}

TEST(ListBox, SelectsTheCurrentEntryOrNull)
{
    struct Case {
        const char* keys;
        int entries;
        const char* selected;
        int changes;
    };
    const Case cases[] = {
        {"ok", 3, "a", 0},
        {"down ok", 3, "b", 1},
        {"down down down ok", 3, "c", 2},
        {"down up ok", 3, "a", 2},
        {"up ok", 3, "a", 0},
        {"down exit", 3, "null", 1},
        {"ok", 0, "null", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        eWindow window;
        auto* list = new eListBox<eListBoxEntryText>(&window);
        const char* const texts[] = {"a", "b", "c"};
        for (int i = 0; i < c.entries; ++i)
            new eListBoxEntryText(list, texts[i]);
        std::string selected;
        int changes = 0;
        list->selected.connect([&](eListBoxEntryText* entry) {
            selected = entry ? entry->getText() : eString("null");
            window.close(0);
        });
        list->selchanged.connect([&changes](eListBoxEntryText*) { ++changes; });

        EXPECT_EQ(runKeys(window, c.keys), 0);
        EXPECT_EQ(selected, c.selected);
        EXPECT_EQ(changes, c.changes);
    }
}

TEST(ListBox, EntriesLeaveTheListWhenDeletedFirst)
{
    eWindow window;
    auto* list = new eListBox<eListBoxEntryText>(&window);
    auto* first = new eListBoxEntryText(list, "a", nullptr, 0, "", 0);
    auto* second = new eListBoxEntryText(list, "b", nullptr, 0, "help", 0);
    new eListBoxEntryText(list, "c");
    EXPECT_EQ(first->getHelpText(), " ");
    EXPECT_EQ(second->getHelpText(), "help");
    ASSERT_TRUE(list->setCurrentIndex(2));
    EXPECT_FALSE(list->setCurrentIndex(3));

    delete second;
    ASSERT_EQ(list->getEntries().size(), 2u);
    EXPECT_EQ(list->getCurrent()->getText(), "c");
    delete first;
    EXPECT_EQ(list->getCurrent()->getText(), "c");
}

} // namespace
