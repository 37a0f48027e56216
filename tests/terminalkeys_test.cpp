#include <gtest/gtest.h>

#include <string>

#include "host/elabel.h"
#include "pchost/keys.h"
#include "pchost/legend.h"
#include "pchost/terminalkeys.h"

#include <curses.h>

// The terminal's keys as the remote control's, and when an input field
// takes typed text.
namespace {

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
        {'a', "none text:a"}, {'Z', "none text:Z"}, {' ', "none text: "}, {'~', "none text:~"},
        {KEY_BACKSPACE, "none left"}, {127, "none left"}, {8, "none left"}, {KEY_F(5), "none none"},
        {KEY_RESIZE, "none none"}, {200, "none none"}};
    for (const auto& [code, meant] : cases)
        EXPECT_EQ(meanings(code), meant) << code;
}

// The legend names the keys; on an input field it says that Enter starts
// editing, and while editing, that Enter ends it.
TEST(TerminalKeys, EditingIsTheFrontWindowsFocusedField)
{
    EXPECT_FALSE(pchost::editingText());
    for (const char* part : {"arrows", "Enter ok", "Esc exit", "F1 red", "F2 green", "F3 yellow",
             "F4 blue", "0-9"})
        EXPECT_NE(pchost::keyLegend().find(part), std::string::npos) << part;
    eWindow window;
    auto* field = new eTextInputField(&window);
    window.show();
    EXPECT_FALSE(pchost::editingText());
    EXPECT_NE(pchost::keyLegend().find("Enter starts editing"), std::string::npos);
    field->keyPressed(pchost::keyCode(pchost::Key::Ok));
    ASSERT_TRUE(field->isEditing());
    EXPECT_TRUE(pchost::editingText());
    EXPECT_NE(pchost::keyLegend().find("Backspace deletes"), std::string::npos);
    EXPECT_NE(pchost::keyLegend().find("Enter or Esc ends editing"), std::string::npos);
    {
        eWindow front;  // a window without a field in front of the edit
        new eButton(&front);
        front.show();
        EXPECT_FALSE(pchost::editingText());
    }
    EXPECT_TRUE(pchost::editingText());
    window.hide();
    EXPECT_FALSE(pchost::editingText());
}

} // namespace
