#include <gtest/gtest.h>

#include <curses.h>
#include <optional>
#include <string>
#include <utility>

#include "pchost/front/terminalkeys.h"
#include "pchost/toolkit/keys.h"

// The terminal's keys as the remote control's.
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
        {'a', "none text:a"}, {' ', "none text: "}, {'~', "none text:~"}, {KEY_BACKSPACE, "none left"},
        {127, "none left"}, {8, "none left"}, {KEY_F(5), "none none"}, {200, "none none"}};
    for (const auto& [code, meant] : cases)
        EXPECT_EQ(meanings(code), meant) << code;
}

} // namespace
