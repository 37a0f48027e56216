#include <gtest/gtest.h>

#include <climits>

#include "install/procedure.h"
#include "install/slotpath.h"
#include "plugin/globals.h"
#include "store/imagename.h"
#include "tests/support.h"

namespace {

TEST(Refusal, SpaceFirstThenSelection)
{
    const char* const space = "no Space !!!\nMemory < 20000 kB\n";
    const char* const select = "no Image or no Directory selected";
    const struct {
        const char* title;
        int noliste, noiort;
        long long freemem;
        const char* message;  // null: the installation runs
    } cases[] = {
        {"all there, room to spare", 0, 0, 20001, nullptr},
        {"exactly the room needed", 0, 0, 20000, nullptr},
        {"one kB short", 0, 0, 19999, space},
        {"nothing measured", 0, 0, 0, space},
        {"no image, room", 1, 0, 30000, select},
        {"no slot, room", 0, 1, 30000, select},
        {"no image, no room", 1, 0, 10000, space},
        {"no image, exactly the room", 1, 0, 20000, select},
        {"more than 2 TiB free", 0, 0, 3LL << 30, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        InstallRequest request;
        request.noliste = c.noliste;
        request.noiort = c.noiort;
        request.freemem = c.freemem;

        std::optional<Outcome> refused = refusal(request);

        ASSERT_EQ(refused.has_value(), c.message != nullptr);
        if (refused) {
            EXPECT_EQ(refused->message, c.message);
            EXPECT_EQ(refused->title(), "Error");
            EXPECT_EQ(refused->boxFlags(), 129);
        }
    }
}

TEST(FreeSpace, KilobytesOfAnyBlockSizeWithoutOverflow)
{
    const struct {
        unsigned long long blocks, blockSize;
        long long kilobytes;
    } cases[] = {{10000, 4096, 40000}, {100, 512, 50}, {3, 512, 1}, {1, 1024, 1}, {0, 4096, 0},
        {1ULL << 31, 4096, 1LL << 33}, {ULLONG_MAX, 1ULL << 20, LLONG_MAX}};
    for (const auto& c : cases)
        EXPECT_EQ(blocksToKilobytes(c.blocks, c.blockSize), c.kilobytes) << c.blocks << " x " << c.blockSize;
    EXPECT_EQ(freeKilobytes("/tmp/no/such/directory"), 0);
    EXPECT_GT(freeKilobytes("/tmp"), 0);
}

TEST(PathInSlot, LinksResolvedWithTheSlotAsRoot)
{
    const std::string slot = "/tmp/slot";
    shell("rm -rf /tmp/slot && mkdir -p /tmp/slot/flash/etc/init.d && cd /tmp/slot &&"
        " ln -s /flash/etc etc && ln -s flash rel && ln -s ../../.. up && ln -s / top &&"
        " ln -s loop loop && ln -s /etc/passwd info && ln -s init.d flash/etc/boot");
    const struct {
        const char* path;
        LastLink last;
        const char* resolved;  // relative to the slot; null: the links loop
    } cases[] = {
        {"etc/init.d/rcS", LastLink::Keep, "/flash/etc/init.d/rcS"},
        {"etc", LastLink::Keep, "/etc"},
        {"etc", LastLink::Follow, "/flash/etc"},
        {"rel/etc/boot/rcS", LastLink::Keep, "/flash/etc/init.d/rcS"},
        {"up/etc/x", LastLink::Keep, "/flash/etc/x"},
        {"../../etc", LastLink::Follow, "/flash/etc"},
        {"top/etc", LastLink::Follow, "/flash/etc"},
        {"info", LastLink::Keep, "/info"},
        {"info", LastLink::Follow, "/flash/etc/passwd"},
        {"missing/dir/file", LastLink::Keep, "/missing/dir/file"},
        {"loop/x", LastLink::Keep, nullptr},
        {"loop", LastLink::Keep, "/loop"},
        {"./etc/./init.d", LastLink::Keep, "/flash/etc/init.d"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::string resolved = pathInSlot(slot, c.path, c.last);
        EXPECT_EQ(resolved, c.resolved ? slot + c.resolved : "");
    }
}

TEST(ImageInfo, ReplacesWhateverStandsThereOrFailsLeavingNoScratch)
{
    const std::string dir = "/tmp/store/image/3";
    const struct {
        const char* title;
        const char* prepare;  // run in DIR
        const char* info;  // Image.info afterwards; null: the write fails
    } cases[] = {
        {"nothing", "true", "name=Sat 1.0\n"},
        {"an older name file", "printf 'name=old\\nextra=1\\n' > Image.info", "name=Sat 1.0\n"},
        {"a link out of the slot", "ln -s /tmp/outside Image.info", "name=Sat 1.0\n"},
        {"a dangling link", "ln -s /tmp/nowhere/x Image.info", "name=Sat 1.0\n"},
        {"a directory", "mkdir -p Image.info/sub", "name=Sat 1.0\n"},
        {"a link where the new file is made", "ln -s /tmp/outside Image.info.new", "name=Sat 1.0\n"},
        {"a directory that cannot go", "mkdir Image.info && mount -t tmpfs busy Image.info", nullptr},
        {"a full disk", "mount -t tmpfs -o nr_inodes=2 full . && cd . && echo name=old > Image.info", nullptr},
        {"no slot", "cd .. && rmdir 3", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        shell("umount " + dir + "/Image.info " + dir + " 2>/dev/null; rm -rf /tmp/store && mkdir -p " + dir);
        writeFile("/tmp/outside", "untouched\n");
        ASSERT_EQ(shell("cd " + dir + " && " + c.prepare), 0);
        std::string before = readFile(dir + "/Image.info");

        EXPECT_EQ(writeImageInfo(dir, "Sat 1.0"), c.info != nullptr);

        EXPECT_EQ(readFile(dir + "/Image.info"), c.info ? c.info : before);
        EXPECT_EQ(shell("test -L " + dir + "/Image.info"), 1);
        EXPECT_FALSE(pathExists(dir + "/Image.info.new"));
        EXPECT_EQ(readFile("/tmp/outside"), "untouched\n");
    }
}

} // namespace
