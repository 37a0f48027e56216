#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "host/elabel.h"
#include "host/elistbox.h"
#include "host/eskin.h"
#include "pchost/front/session.h"
#include "pchost/toolkit/keys.h"
#include "tests/support.h"

// The toolkit as a user drives it: keys from a script into a window run
// modally, once they run out exit is pressed; the screen as text.
namespace {

// A window with a widget of every kind, in focus order: button a (runs a
// dialog whose button closes it with 7), a label and a hidden
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
    // Keys; what was signalled, the result of the window's run, the texts of
    // the field and the combo box; the help text that a snap showed.
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"snap exit ok", "|-1||x", "Help a"},  // the host closes a window on exit
        {"ok ok", "a7|-1||x", ""},  // dialogs nest
        {"ok exit", "a-1|-1||x", ""},
        {"ok ok green", "a7g[Help g]|3||x", ""},
        {"down down down ok ok", "+-|-1||x", ""},
        {"down down down down ok", "g[Help g]|3||x", ""},
        {"down down down down down ok", "p|0||x", ""},
        {"down down down down down down down down down ok", "~~r|0||x", ""},  // at the end
        {"down down down down down down up up ok", "~~g[Help g]|3||x", ""},
        {"down down down down down exit", "null|0||x", ""},
        {"yellow red blue down down snap", "|-1||x", "Help f"},
        {"down ok down exit down down ok", "+|-1||x", ""},  // exit only closes the list
        {"down ok down down down down ok", "z|-1||z", ""},
        {"down ok down ok ok down ok", "yz|-1||z", ""},
        {"down down ok text:aXb?c snap ok", "|-1|abc|x", "Typing"},
        {"down down text:abc", "|-1||x", ""},  // not editing
        {"down down ok text:abc left ok", "|-1|ab|x", ""},
        {"down down ok text:ab exit text:c down ok", "+|-1|ab|x", ""},
        {"down down ok down 1 2 7 ok down ok", "+|-1|12|x", ""},
        {"down down ok text:\"a b\" yellow ok", "|-1|a B|x", ""},
        {"down down ok text:c yellow ok", "|-1|c|x", ""},  // no C to switch to
    };
    for (const auto& [keys, outcome, status] : cases) {
        SCOPED_TRACE(keys);
        Playground playground;
        pchost::startScript(keys);
        playground.window.show();
        int result = playground.window.exec();
        EXPECT_EQ(playground.log + "|" + std::to_string(result) + "|" + playground.field->getText() + "|" +
                playground.combo->getCurrent()->getText(), outcome);
        for (const char* help : {"Help a", "Help f", "Typing", "Help g"}) {
            bool shown = *status && pchost::snaps().at(0).find(help) != std::string::npos;
            EXPECT_EQ(shown, help == std::string(status)) << help;
        }
    }
}

template <class Widget, class... Args>
Widget* place(eWindow& window, int y, int width, Args... args)
{
    auto* widget = new Widget(&window, args...);
    widget->move(ePoint(0, y));
    widget->resize(eSize(width, 16));
    return widget;
}

TEST(Screen, MarksTheCurrentEntryAndDrawsAnOpenComboOnTop)
{
    eWindow window;
    window.cmove(ePoint(8, 32));
    window.cresize(eSize(400, 300));
    auto* list = new eListBox<eListBoxEntryText>(&window);
    list->resize(eSize(200, 2 * eListBoxEntryText::getEntryHeight()));  // room for two rows
    for (const char* text : {" one", " two", " three"})
        new eListBoxEntryText(list, text);
    auto* combo = place<eComboBox>(window, 64, 100, 2);
    for (const char* text : {"red", "green", "blue"})  // green asks to be centred
        new eListBoxEntryText(combo->getListBox(), text, nullptr, text[0] == 'g');
    place<eTextInputField>(window, 160, 100);
    pchost::startScript("down down snap down ok down snap exit down ok text:ab snap");
    window.show();
    window.exec();

    ASSERT_EQ(pchost::snaps().size(), 3u);
    const std::vector<std::pair<int, const char*>> shown = {{0, "|  two"}, {0, "|> three"},
        {1, "|* three"}, {1, "|>  green   |"}, {1, "| red "}, {2, ">[ab_       ]"}};
    for (const auto& [snap, text] : shown)
        EXPECT_NE(pchost::snaps()[snap].find(text), std::string::npos) << text;
    EXPECT_EQ(pchost::snaps()[0].find(" one"), std::string::npos);  // scrolled away
    EXPECT_EQ(pchost::snaps()[1].find("blue"), std::string::npos);  // two rows open
    EXPECT_EQ(combo->getCurrent()->getText(), "red");
}

// The value of a key=value file; nothing, and no wait, for what is no
// regular file: a pipe, a link to one, a directory, nothing at all.
TEST(Toolkit, GetInfoReadsOnlyRegularFilesNeverWaiting)
{
    writeFile("/tmp/info/file", "size=3\nname=Sat 1.0\n");
    ASSERT_EQ(shell("cd /tmp/info && ln -s file link && mkfifo pipe && ln -s pipe topipe && mkdir dir"), 0);
    for (const char* name : {"file", "link", "pipe", "topipe", "dir", "none"})
        EXPECT_EQ(getInfo(("/tmp/info/" + std::string(name)).c_str(), "name"), name[0] == 'f' || name[0] == 'l' ?
            "Sat 1.0" : "") << name;
    shell("rm -rf /tmp/info");
}

} // namespace
