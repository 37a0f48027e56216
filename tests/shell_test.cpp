#include <gtest/gtest.h>

#include "store/shell.h"
#include "tests/support.h"

TEST(ShellQuote, ValuesComeBackAsOneWordUnchanged)
{
    for (const char* value : {"", "/hdd", "a b.img", "x;touch pwned.img", "$(touch pwned).img", "`touch pwned`",
             "it's.img", "''", "tab\there", "line\nend", "back\\slash \"quoted\" *?[a] ~ & | < > #"}) {
        EXPECT_EQ(capture("set -- " + shellQuote(value) + "; printf %s$# \"$1\""), std::string(value) + "1");
        EXPECT_FALSE(pathExists("pwned")) << value;
    }
}

TEST(RunCommand, OnlyAnExitWithZeroSucceeds)
{
    // The shell wraps status 256 to 0; a signal is a failure.
    const std::pair<const char*, bool> cases[] = {{"true", true}, {"exit 0", true}, {"exit 256", true},
        {"false", false}, {"exit 3", false}, {"no-such-command-here 2>/dev/null", false},
        {"kill -TERM $$", false}, {"kill -KILL $$", false}};
    for (const auto& [line, succeeds] : cases)
        EXPECT_EQ(runCommand(line), succeeds) << line;
}
