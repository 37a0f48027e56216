#include <gtest/gtest.h>

#include "store/shell.h"
#include "tests/support.h"

namespace {

TEST(ShellQuote, ValuesComeBackAsOneWordUnchanged)
{
    const char* const values[] = {
        "",
        "/hdd",
        "a b.img",
        "x;touch pwned.img",
        "$(touch pwned).img",
        "`touch pwned`",
        "it's.img",
        "''",
        "tab\there",
        "line\nend",
        "back\\slash \"quoted\" *?[a] ~ & | < > #",
    };
    for (const char* value : values) {
        SCOPED_TRACE(value);
        std::string line = "printf %s " + shellQuote(value) + " > /tmp/word; printf %s $# >> /tmp/word";
        ASSERT_TRUE(runCommand("set -- " + shellQuote(value) + "; " + line));
        EXPECT_EQ(readFile("/tmp/word"), std::string(value) + "1");
        EXPECT_FALSE(pathExists("pwned"));
    }
}

TEST(RunCommand, OnlyAnExitWithZeroSucceeds)
{
    struct Case {
        const char* line;
        bool succeeds;
    };
    const Case cases[] = {
        {"true", true},
        {"exit 0", true},
        {"false", false},
        {"exit 3", false},
        {"exit 256", true},  // the shell wraps the status to 0
        {"no-such-command-here 2>/dev/null", false},
        {"kill -TERM $$", false},
        {"kill -KILL $$", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(runCommand(c.line), c.succeeds);
    }
}

TEST(RunFormatted, QuotesStringsAndPassesNumbers)
{
    eString mount = "/tmp/a b;touch pwned";
    ASSERT_TRUE(runFormatted("printf '%%s|%%s|%%d' %s %s %d > /tmp/line", mount, eString("it's"), 7));
    EXPECT_EQ(readFile("/tmp/line"), "/tmp/a b;touch pwned|it's|7");
    EXPECT_FALSE(pathExists("pwned"));
    EXPECT_FALSE(runFormatted("test -e %s/missing", mount));
}

} // namespace
