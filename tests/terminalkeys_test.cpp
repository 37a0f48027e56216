#include <gtest/gtest.h>

#include <string>

#include "host/elabel.h"
#include "pchost/keys.h"
#include "pchost/terminalkeys.h"

#include <curses.h>

// The terminal's keys as the remote control's, and when an input field
// takes typed text.
namespace {

// The name of the key CODE means ("none" for no key, "text:c" for typing).
std::string meaning(int code, bool editing)
{
    std::optional<pchost::KeyPress> press = pchost::translateKey(code, editing);
    if (!press)
        return "none";
    if (press->key == pchost::Key::Text)
        return "text:" + press->text;
    return pchost::keyName(press->key);
}

TEST(TerminalKeys, AsTheRemoteControlOrTypedWhileEditing)
{
    struct Case {
        int code;
        const char* plain;
        const char* editing;
    };
    const Case cases[] = {
        {KEY_UP, "up", "up"}, {KEY_DOWN, "down", "down"}, {KEY_LEFT, "left", "left"},
        {KEY_RIGHT, "right", "right"}, {'\n', "ok", "ok"}, {'\r', "ok", "ok"},
        {KEY_ENTER, "ok", "ok"}, {27, "exit", "exit"}, {KEY_F(1), "red", "red"},
        {KEY_F(2), "green", "green"}, {KEY_F(3), "yellow", "yellow"}, {KEY_F(4), "blue", "blue"},
        {'0', "0", "text:0"}, {'9', "9", "text:9"}, {'a', "none", "text:a"}, {'Z', "none", "text:Z"},
        {' ', "none", "text: "}, {'~', "none", "text:~"}, {KEY_BACKSPACE, "none", "left"},
        {127, "none", "left"}, {8, "none", "left"}, {KEY_F(5), "none", "none"},
        {KEY_RESIZE, "none", "none"}, {200, "none", "none"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(meaning(c.code, false), c.plain) << c.code;
        EXPECT_EQ(meaning(c.code, true), c.editing) << c.code;
    }
    for (const char* part : {"arrows", "Enter ok", "Esc exit", "F1 red", "F2 green", "F3 yellow",
             "F4 blue", "0-9"})
        EXPECT_NE(std::string(pchost::keyLegend(false)).find(part), std::string::npos) << part;
    EXPECT_NE(std::string(pchost::keyLegend(true)).find("Backspace"), std::string::npos);
    for (bool editing : {false, true})
        EXPECT_LE(std::string(pchost::keyLegend(editing)).size(), 90u);  // the terminal's last line
}

TEST(TerminalKeys, EditingIsTheFrontWindowsFocusedField)
{
    EXPECT_FALSE(pchost::editingText());
    eWindow window;
    auto* field = new eTextInputField(&window);
    window.show();
    EXPECT_FALSE(pchost::editingText());
    field->keyPressed(pchost::keyCode(pchost::Key::Ok));
    EXPECT_TRUE(pchost::editingText());
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
