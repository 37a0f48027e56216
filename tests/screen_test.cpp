#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "host/elabel.h"
#include "host/elistbox.h"
#include "pchost/keys.h"
#include "pchost/session.h"
#include "pchost/terminalkeys.h"
#include "pchost/widgethost.h"

#include <curses.h>

// The terminal front end: the screen as text, the keys as the remote
// control's, and when an input field takes typed text.
namespace {

// LENGTH characters of the text screen from the cell of WIDGET's top left
// corner, or from its bottom left one.
std::string cellsAt(const eWidget* widget, size_t length, bool bottom = false)
{
    ePoint at = eWidgetHost::screenPosition(widget);
    int row = (bottom ? at.y + widget->getSize().h - 1 : at.y) / 16;
    std::istringstream screen(pchost::screenText());
    std::string line;
    for (int i = 0; i <= row; ++i)
        std::getline(screen, line);
    return line.substr(at.x / 8, length);
}

template <class Widget, class... Args>
Widget* place(eWindow& window, int y, int width, Args... args)
{
    auto* widget = new Widget(&window, args...);
    widget->move(ePoint(0, y));
    widget->resize(eSize(width, 16));
    return widget;
}

// A frame with the title around the window, each widget at its cell with
// the focus mark, an input field visible even when empty, a later window
// over an earlier one.
TEST(Screen, DrawsFramesAndWidgetsAtTheirCells)
{
    eWindow window;
    window.cmove(ePoint(200, 150));
    window.cresize(eSize(280, 200));
    window.setText("Title");
    place<eButton>(window, 0, 200)->setText("Press me");
    auto* box = place<eCheckbox>(window, 32, 200, 1);
    box->setText("Ticked");
    auto* field = place<eTextInputField>(window, 64, 100);
    window.show();

    EXPECT_EQ(cellsAt(&window, 10) + cellsAt(&window, 3, true), "+- Title -+--");
    EXPECT_EQ(cellsAt(window.getChildren()[0], 9), ">Press me");
    EXPECT_EQ(cellsAt(box, 11), " [x] Ticked");
    EXPECT_EQ(cellsAt(field, 13), " [          ]");
    field->typeText("ab");
    EXPECT_EQ(cellsAt(field, 13), " [ab        ]");
    eWindow above;
    above.move(window.getPosition());
    above.resize(window.getSize());
    above.setText("On top");
    above.show();
    EXPECT_EQ(cellsAt(&window, 11), "+- On top -");
    EXPECT_EQ(pchost::screenText().find("Press me"), std::string::npos);
    above.hide();
    window.hide();
    EXPECT_EQ(pchost::screenText().find("Title"), std::string::npos);
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
    for (const char* text : {"red", "green", "blue"})
        new eListBoxEntryText(combo->getListBox(), text);
    place<eTextInputField>(window, 160, 100);
    pchost::startScript("down down snap down ok down snap exit down ok text:ab snap");
    window.show();
    window.exec();

    ASSERT_EQ(pchost::snaps().size(), 3u);
    const std::vector<std::pair<int, const char*>> shown = {{0, "|  two"}, {0, "|> three"},
        {1, "|* three"}, {1, "|>green "}, {1, "| red "}, {2, ">[ab_       ]"}};
    for (const auto& [snap, text] : shown)
        EXPECT_NE(pchost::snaps()[snap].find(text), std::string::npos) << text;
    EXPECT_EQ(pchost::snaps()[0].find(" one"), std::string::npos);  // scrolled away
    EXPECT_EQ(pchost::snaps()[1].find("blue"), std::string::npos);  // two rows open
    EXPECT_EQ(combo->getCurrent()->getText(), "red");
}

// What the key CODE means, then what it means while a field is edited:
// a key name, "text:c" for typing or "none".
std::string meanings(int code)
{
    std::string both;
    for (bool editing : {false, true}) {
        std::optional<pchost::KeyPress> press = pchost::translateKey(code, editing);
        both += !press ? "none" : press->key == pchost::Key::Text ? "text:" + press->text
                                                                  : pchost::keyName(press->key);
        both += editing ? "" : " ";
    }
    return both;
}

TEST(TerminalKeys, AsTheRemoteControlOrTypedWhileEditing)
{
    const std::pair<int, const char*> cases[] = {{KEY_UP, "up up"}, {KEY_DOWN, "down down"},
        {KEY_LEFT, "left left"}, {KEY_RIGHT, "right right"}, {'\n', "ok ok"}, {'\r', "ok ok"},
        {KEY_ENTER, "ok ok"}, {27, "exit exit"}, {KEY_F(1), "red red"}, {KEY_F(2), "green green"},
        {KEY_F(3), "yellow yellow"}, {KEY_F(4), "blue blue"}, {'0', "0 text:0"}, {'9', "9 text:9"},
        {'a', "none text:a"}, {' ', "none text: "}, {'~', "none text:~"}, {KEY_BACKSPACE, "none left"},
        {127, "none left"}, {8, "none left"}, {KEY_F(5), "none none"}, {200, "none none"}};
    for (const auto& [code, meant] : cases)
        EXPECT_EQ(meanings(code), meant) << code;
}

} // namespace
