#include <gtest/gtest.h>

#include <string>

#include "host/elabel.h"
#include "host/elistbox.h"
#include "pchost/session.h"

// The toolkit as a user drives it: keys from a script into a window run
// modally. Once the keys run out, exit is pressed.
namespace {

int runKeys(eWindow& window, const char* keys)
{
    pchost::startScript(keys);
    window.show();
    return window.exec();
}

// A window with a widget of every kind, in focus order: button a (runs a
// dialog whose buttons close it with 7 and accept it), a label and a hidden
// button with shortcut yellow (both passed over), a combo box x y z, an
// input field, a check box, button g (shortcut green, closes the window
// with 3), a list p q r (closes it with 0) and a status bar. What the
// widgets signal is written into log.
struct Playground {
    Playground()
    {
        button("Help a", [this] { log += "a" + std::to_string(runDialog()); });
        new eLabel(&window);
        eButton* hidden = button("", [this] { log += "h"; });
        hidden->setShortcut("yellow");
        hidden->hide();
        combo = new eComboBox(&window, 4);
        for (const char* text : {"x", "y", "z"})
            new eListBoxEntryText(combo->getListBox(), text);
        combo->selchanged.connect([this](eListBoxEntryText* entry) { log += entry->getText(); });
        field = new eTextInputField(&window);
        field->setMaxChars(4);
        field->setUseableChars("abcAB 12");
        field->setHelpText("Help f");
        field->setEditHelpText("Typing");
        auto* box = new eCheckbox(&window, 0, 1);
        box->selected.connect([this, box] { log += box->isChecked() ? "+" : "-"; });
        button("Help g", [this] {
            log += "g[" + bar->getShownText() + "]";
            window.close(3);
        })->setShortcut("green");
        auto* list = new eListBox<eListBoxEntryText>(&window);
        for (const char* text : {"p", "q", "r"})
            new eListBoxEntryText(list, text);
        list->selchanged.connect([this](eListBoxEntryText*) { log += "~"; });
        list->selected.connect([this](eListBoxEntryText* entry) {
            log += entry ? entry->getText() : eString("null");
            window.close(0);
        });
        window.cresize(eSize(400, 200));
        bar = new eStatusBar(&window);
        bar->move(ePoint(0, 160));
        bar->resize(eSize(400, 40));
    }
    static int runDialog()
    {
        eWindow dialog;
        (new eButton(&dialog))->selected.connect([&dialog] { dialog.close(7); });
        (new eButton(&dialog))->selected.connect([&dialog] { dialog.accept(); });
        dialog.show();
        return dialog.exec();
    }
    template <class Press>
    eButton* button(const char* help, Press press)
    {
        auto* made = new eButton(&window);
        made->setHelpText(help);
        made->selected.connect(press);
        return made;
    }

    std::string log;
    eWindow window;
    eComboBox* combo;
    eTextInputField* field;
    eStatusBar* bar;
};

TEST(Toolkit, KeysReachTheFocusedWidgetOrTheShortcutsButton)
{
    // Keys, what was signalled, the result of the window's run, the texts of
    // the field and the combo box, and what the status bar showed at a snap.
    struct Case {
        const char *keys, *log;
        int result;
        const char *field, *combo, *status;
    };
    const Case cases[] = {
        {"snap exit ok", "", -1, "", "x", "Help a"},  // the host closes a window on exit
        {"ok ok", "a7", -1, "", "x", nullptr},  // dialogs nest
        {"ok down ok", "a0", -1, "", "x", nullptr},
        {"ok exit", "a-1", -1, "", "x", nullptr},
        {"ok ok green", "a7g[Help g]", 3, "", "x", nullptr},
        {"up ok ok", "a7", -1, "", "x", nullptr},
        {"down down down ok ok", "+-", -1, "", "x", nullptr},
        {"down down down down ok", "g[Help g]", 3, "", "x", nullptr},
        {"down down down down down ok", "p", 0, "", "x", nullptr},
        {"down down down down down down down down down ok", "~~r", 0, "", "x", nullptr},  // at the end
        {"down down down down down down up up ok", "~~g[Help g]", 3, "", "x", nullptr},
        {"down down down down down exit", "null", 0, "", "x", nullptr},
        {"yellow red blue down down snap", "", -1, "", "x", "Help f"},
        {"down ok down ok", "y", -1, "", "y", nullptr},
        {"down ok down exit down down ok", "+", -1, "", "x", nullptr},  // exit only closes the list
        {"down ok up ok", "x", -1, "", "x", nullptr},
        {"down ok down down down down ok", "z", -1, "", "z", nullptr},
        {"down ok down ok ok down ok", "yz", -1, "", "z", nullptr},
        {"down down ok text:aXb?c snap ok", "", -1, "abc", "x", "Typing"},
        {"down down ok text:abcabc ok snap", "", -1, "abca", "x", "Help f"},
        {"down down text:abc", "", -1, "", "x", nullptr},  // not editing
        {"down down ok text:abc left ok", "", -1, "ab", "x", nullptr},
        {"down down ok left ok", "", -1, "", "x", nullptr},
        {"down down ok text:ab exit text:c down ok", "+", -1, "ab", "x", nullptr},
        {"down down ok down 1 2 7 ok down ok", "+", -1, "12", "x", nullptr},
        {"down down ok text:\"a b\" yellow ok", "", -1, "a B", "x", nullptr},
        {"down down ok text:c yellow ok", "", -1, "c", "x", nullptr},  // no C to switch to
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        Playground playground;

        EXPECT_EQ(runKeys(playground.window, c.keys), c.result);

        EXPECT_EQ(playground.log, c.log);
        EXPECT_EQ(playground.field->getText(), c.field);
        EXPECT_EQ(playground.combo->getCurrent()->getText(), c.combo);
        for (const char* help : {"Help a", "Help f", "Typing", "Help g"}) {
            if (c.status) {
                bool shown = pchost::snaps().at(0).find(help) != std::string::npos;
                EXPECT_EQ(shown, help == std::string(c.status)) << help;
            }
        }
    }
}

TEST(ListBox, ThatNeverClosesMakesTheScriptGiveUpAfterAHundredExits)
{
    eWindow window;
    auto* list = new eListBox<eListBoxEntryText>(&window);
    int nulls = 0;
    list->selected.connect([&nulls](eListBoxEntryText* entry) { nulls += entry == nullptr; });
    EXPECT_THROW(runKeys(window, "down"), pchost::ScriptExhausted);
    EXPECT_EQ(nulls, 100);
}

} // namespace
