#include <gtest/gtest.h>

#include <unistd.h>

#include "manage/overview.h"
#include "pchost/front/session.h"
#include "plugin/imageinfo.h"
#include "tests/support.h"

TEST(SizeText, TakesTheFieldBeforeTheSeparatorOfAPlainFile)
{
    const std::pair<std::string, std::string> cases[] = {  // the file's content, its size text
        {"123\t/hdd/image/3\n", "123 kB"}, {"", "? kB"},  // right after a size: nothing carried over
        {"98765 /hdd/image/0\n", "98765 kB"}, {"no slash\nsecond/line\n", "no slash\n kB"},  // the first line only
        {"/hdd/image/3\n", "/hdd/image/3\n kB"}, {std::string(1500, '9'), std::string(1023, '9') + " kB"}};
    for (const auto& [content, text] : cases) {
        writeFile("/tmp/d", content);
        EXPECT_EQ(sizeText("/tmp/d"), text) << content;
    }
    alarm(5);  // waiting on the pipe ends the test program
    for (const char* other : {"true", "mkdir /tmp/d", "mkfifo /tmp/d", "echo 1/ >/tmp/x && ln -s /tmp/x /tmp/d"}) {
        shell("rm -rf /tmp/d /tmp/x && " + std::string(other));
        EXPECT_EQ(sizeText("/tmp/d"), "") << other;
    }
    alarm(0);
    shell("rm -rf /tmp/d /tmp/x");
}

TEST(Imageinfo, RowsShowSizeAndNameOrStateMeasuredIntoAFileMadeAfresh)
{
    TestStore store;
    store.addSlot(0, "name=Zero\n");
    store.addSlot(3, "name=\n");
    store.addCorruptedSlot(6);
    store.addSlot(10, "name=Ten\n");
    writeFile("/tmp/victim", "untouched\n");
    // A du that answers "123<tab>DIR" and logs each DIR it is asked for.
    const char fakeDu[] = "#!/bin/sh\necho \"$2\" >>/tmp/du.log\nprintf '123\\t%s\\n' \"$2\"\n";
    const std::pair<const char*, std::string> cases[] = {  // done in the store, the size text
        {"true", "123 kB"}, {"ln -s /tmp/victim /tmp/du.temp", "123 kB"}, {"mkfifo /tmp/du.temp", "123 kB"},
        {"mkdir -p /tmp/du.temp/x", "123 kB"}, {"echo '555\t/stale/row' >/tmp/du.temp && rm tools/du", "? kB"}};
    for (const auto& [prepare, size] : cases) {
        SCOPED_TRACE(prepare);
        writeFile(store.path("tools/du"), fakeDu, 0755);
        shell("rm -rf /tmp/du.temp /tmp/du.log && cd " + store.root() + " && " + prepare);
        pchost::startScript("green");
        Imageinfo window;
        window.show();
        EXPECT_EQ(window.exec(), 0);
        std::vector<std::string> texts;
        for (const eWidget* child : window.getChildren())
            texts.push_back(child->getText());
        const std::string free = "----------";
        EXPECT_EQ(texts, (std::vector<std::string>{"OK", "Image 0:", size, "Zero", "Image 1:", free, "Image 2:", free,
            "Image 3:", size, "", "Image 4:", free, "Image 5:", free, "Image 6:", "corrupted", "Image 7:", free,
            "Image 8:", free, "Image 9:", free}));
        EXPECT_EQ(readFile("/tmp/du.log"), size == "? kB" ? "" : store.path("image/0\n") + store.path("image/3\n"));
        EXPECT_EQ(shell("test -f /tmp/du.temp && ! test -L /tmp/du.temp"), 0);
        EXPECT_EQ(readFile("/tmp/victim"), "untouched\n");
    }
    shell("rm -rf /tmp/du.temp /tmp/du.log /tmp/victim");
}

// A du that never ends is given its time once: it is not asked again.
TEST(SlotMeasure, ADuThatNeverEndsIsAskedOnce)
{
    TestStore store;
    writeFile(store.path("tools/du"), "#!/bin/sh\necho \"$2\" >>/tmp/du.log\nexec sleep 600\n", 0755);
    SlotMeasure measure(500);
    EXPECT_EQ(measure.sizeOf(0, "/tmp/du.temp"), sizeUnknown);
    EXPECT_EQ(measure.sizeOf(3, "/tmp/du.temp"), sizeUnknown);
    EXPECT_EQ(readFile("/tmp/du.log"), store.path("image/0\n"));
}
