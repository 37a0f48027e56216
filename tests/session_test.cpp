#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "host/elistbox.h"
#include "host/emessagebox.h"
#include "host/eskin.h"
#include "pchost/keysource.h"
#include "pchost/session.h"
#include "tests/support.h"

// The session's key scripts and records, and getInfo.
namespace {

using pchost::Key;

TEST(ParseKeys, ReadsNamesTextAndQuotedText)
{
    struct Case {
        const char* list;
        std::vector<Key> keys;
        std::vector<std::string> texts;  // of the Text and Snap keys, in order
    };
    const Case cases[] = {
        {"", {}, {}},
        {"  down\tok  ", {Key::Down, Key::Ok}, {}},
        {"up down left right ok exit", {Key::Up, Key::Down, Key::Left, Key::Right, Key::Ok, Key::Exit}, {}},
        {"red green yellow blue snap", {Key::Red, Key::Green, Key::Yellow, Key::Blue, Key::Snap}, {""}},
        {"snap:/tmp/a.png ok", {Key::Snap, Key::Ok}, {"/tmp/a.png"}},
        {"snap:\"a b.png\"", {Key::Snap}, {"a b.png"}},
        {"0 5 9", {Key::Digit0, Key::Digit5, Key::Digit9}, {}},
        {"text:ABC ok", {Key::Text, Key::Ok}, {"ABC"}},
        {"text:\"Sat 1.0\" green", {Key::Text, Key::Green}, {"Sat 1.0"}},
        {"text: text:\"\"", {Key::Text, Key::Text}, {"", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        std::vector<pchost::KeyPress> parsed = pchost::parseKeys(c.list);
        std::vector<Key> keys;
        std::vector<std::string> texts;
        for (const auto& press : parsed) {
            keys.push_back(press.key);
            if (press.key == Key::Text || press.key == Key::Snap)
                texts.push_back(press.text);
        }
        EXPECT_EQ(keys, c.keys);
        EXPECT_EQ(texts, c.texts);
    }
}

TEST(ParseKeys, NamesTheFirstBadWord)
{
    const std::pair<const char*, const char*> cases[] = {{"down bogus ok", "bogus"},
        {"Down", "Down"}, {"10", "10"}, {"ok text:\"open", "open"}, {"snap:", "snap:"}};
    for (const auto& [list, named] : cases) {
        try {
            pchost::parseKeys(list);
            ADD_FAILURE() << "no error for " << list;
        } catch (const std::invalid_argument& error) {
            EXPECT_NE(std::string(error.what()).find(named), std::string::npos) << error.what();
        }
    }
}

TEST(MessageBox, IsRecordedWhenShownAndClosedWithOk)
{
    pchost::startScript("ok");
    {
        eMessageBox box("first line\nsecond line", "Title", 129, 1, 0);
        box.show();
        EXPECT_EQ(box.exec(), 0);
    }
    EXPECT_EQ(pchost::shownMessages(), std::vector<std::string>{"[Title] first line\\nsecond line"});
    ASSERT_EQ(pchost::shownBoxIntegers().size(), 1u);
    EXPECT_EQ(pchost::shownBoxIntegers()[0].flags, 129);
    pchost::startScript("");
    EXPECT_TRUE(pchost::shownMessages().empty());
}

TEST(GetInfo, ValueOfTheFirstKeyLine)
{
    writeFile("/tmp/info.conf",
        "menu_color2=9\nmenu_color=5\nmenu_color=6\nname=two words\nempty=\nlast=x");
    const std::pair<const char*, const char*> cases[] = {{"menu_color", "5"},
        {"name", "two words"}, {"empty", ""}, {"last", "x"}, {"missing", ""}, {"menu", ""}};
    for (const auto& [key, value] : cases)
        EXPECT_EQ(getInfo("/tmp/info.conf", key), value) << key;
    EXPECT_EQ(getInfo("/tmp/no-such.conf", "menu_color"), "");
}

TEST(LineKeySource, ReadsKeysLineByLineAndShowsTheScreenBeforeEachWait)
{
    std::istringstream in("down\nnonsense\nup down ok\n");
    std::ostringstream out;
    pchost::startScript("");
    pchost::setKeySource(pchost::makeLineKeySource(in, out));
    eWindow window;
    auto* list = new eListBox<eListBoxEntryText>(&window);
    new eListBoxEntryText(list, " alpha");
    new eListBoxEntryText(list, " beta");
    std::string chosen;
    list->selected.connect([&](eListBoxEntryText* entry) {
        chosen = entry ? entry->getText() : eString("null");
        if (entry)
            window.close(0);
    });
    window.show();

    EXPECT_EQ(window.exec(), 0);
    EXPECT_EQ(chosen, " beta");
    const std::string shown = out.str();
    EXPECT_NE(shown.find("unknown key name: nonsense"), std::string::npos);
    EXPECT_NE(shown.find("> beta"), std::string::npos);  // drawn after the first line
    EXPECT_NE(shown.find("> alpha"), std::string::npos);

    // At the end of input it presses exit, then gives up.
    EXPECT_THROW(window.exec(), pchost::ScriptExhausted);
    EXPECT_EQ(chosen, "null");
}

} // namespace
