#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "host/elabel.h"
#include "host/ewidget.h"
#include "pchost/keys.h"
#include "pchost/legend.h"
#include "pchost/terminalkeys.h"

#include <curses.h>

// The terminal's keys as the remote control's, and when an input field
// takes typed text.
namespace {

using pchost::Key;
using pchost::translateKey;

// The name of the key CODE means ("none" for no key, "text:c" for typing).
std::string meaning(int code, bool editing)
{
    std::optional<pchost::KeyPress> press = translateKey(code, editing);
    if (!press)
        return "none";
    if (press->key == Key::Text)
        return "text:" + press->text;
    return pchost::keyName(press->key);
}

TEST(TerminalKeys, RemoteControl)
{
    const std::pair<int, const char*> cases[] = {
        {KEY_UP, "up"}, {KEY_DOWN, "down"}, {KEY_LEFT, "left"}, {KEY_RIGHT, "right"},
        {'\n', "ok"}, {'\r', "ok"}, {KEY_ENTER, "ok"}, {27, "exit"},
        {KEY_F(1), "red"}, {KEY_F(2), "green"}, {KEY_F(3), "yellow"}, {KEY_F(4), "blue"},
        {'0', "0"}, {'5', "5"}, {'9', "9"},
        {'a', "none"}, {' ', "none"}, {KEY_BACKSPACE, "none"}, {127, "none"},
        {KEY_F(5), "none"}, {KEY_HOME, "none"}, {KEY_RESIZE, "none"}, {200, "none"},
    };
    for (const auto& [code, name] : cases) {
        SCOPED_TRACE(code);
        EXPECT_EQ(meaning(code, false), name);
    }
}

TEST(TerminalKeys, WhileEditing)
{
    const std::pair<int, const char*> cases[] = {
        {'a', "text:a"}, {'Z', "text:Z"}, {' ', "text: "}, {'-', "text:-"}, {'~', "text:~"},
        {'7', "text:7"}, {KEY_BACKSPACE, "left"}, {127, "left"}, {8, "left"},
        {'\n', "ok"}, {'\r', "ok"}, {27, "exit"}, {KEY_F(3), "yellow"}, {KEY_F(2), "green"},
        {KEY_UP, "up"}, {KEY_LEFT, "left"}, {200, "none"}, {KEY_RESIZE, "none"},
    };
    for (const auto& [code, name] : cases) {
        SCOPED_TRACE(code);
        EXPECT_EQ(meaning(code, true), name);
    }
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
    field->keyPressed(pchost::keyCode(Key::Ok));
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
