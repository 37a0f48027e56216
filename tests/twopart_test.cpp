#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>

#include "install/procedure.h"
#include "install/space.h"
#include "store/slots.h"
#include "tests/images.h"
#include "tests/support.h"

using ::testing::HasSubstr;
using ::testing::MatchesRegex;

namespace {

// A squashfs part beyond the 51200000 bytes that a cut of 100000 blocks took.
const char bigImage[] = "--two-part --size 50100";

// Puts /tmp/shim first in PATH, where tools that are written there run
// their own lines and then the real tool; the old PATH comes back at the end.
class ShimTest : public ::testing::Test {
protected:
    ShimTest()
    {
        useCramfsStandIn();
        saved = std::getenv("PATH");
        prependPath("/tmp/shim");
    }
    ~ShimTest() override
    {
        setenv("PATH", saved.c_str(), 1);
        shell("rm -rf /tmp/shim");
    }

    void shim(const std::string& tool, const std::string& lines) const
    {
        writeFile("/tmp/shim/" + tool,
            "#!/bin/sh\n" + lines + "\nPATH='" + saved + "' exec " + tool + " \"$@\"\n", 0755);
    }
    // A mount that cannot take an offset, as older ones.
    void refuseOffsets() const { shim("mount", "case \"$*\" in *offset=*) exit 32 ;; esac"); }

    std::string saved;
};

class TwoPartTest : public ShimTest {
protected:
    TestStore store;
};

TEST_F(TwoPartTest, MountedFromTheImageFileWithoutACut)
{
    struct Case {
        const char* title;
        const char* options;
        bool noOffsets;  // mount refuses offset=, so the part is cut out
        long long payload;  // bytes of bin/payload
    };
    const Case cases[] = {
        {"two-part", "--two-part", false, 0},
        {"two-part, mount without offsets", "--two-part", true, 0},
        {"single-part", "", false, 0},
        {"squashfs part of 51.3 MB", bigImage, false, 50100 * 1024LL},
        {"the same, mount without offsets", bigImage, true, 50100 * 1024LL},
    };
    makeImage("/tmp/big.img", bigImage);
    // The store's files at the moment the tree is copied into the slot.
    shim("cp", "[ \"$1\" = -Rd ] && ls -A '" + store.root() + "' >/tmp/during-copy");
    int slot = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        if (c.options == bigImage)
            shell("cp /tmp/big.img '" + store.path("new.img") + "'");
        else
            makeImage(store.path("new.img"), c.options);
        shell("rm -f /tmp/shim/mount");
        if (c.noOffsets)
            refuseOffsets();
        std::string number = std::to_string(slot++);

        Outcome outcome = installImage(installRequest("new.img", number));

        EXPECT_EQ(outcome.message, "Image is installed");
        std::string during = readFile("/tmp/during-copy");
        EXPECT_THAT(during, HasSubstr("new.img"));
        EXPECT_EQ(during.find("squashfs.img") != std::string::npos, c.noOffsets);
        EXPECT_FALSE(pathExists(store.path("squashfs.img")));
        EXPECT_EQ(pathExists(store.path("new.img")), *c.options == '\0');
        EXPECT_FALSE(isMountPoint("/tmp/image"));
        EXPECT_EQ(probeSlot(slot - 1), SlotState::Installed);
        std::string payload = store.path("image/" + number + "/bin/payload");
        EXPECT_EQ(shell("test $(stat -c %s '" + payload + "' 2>/dev/null || echo 0) = " +
            std::to_string(c.payload)), 0);
        shell("rm -rf '" + store.path("image/" + number) + "'");
    }
}


class TooLargeTest : public ShimTest {
protected:
    // Half of it kept for root: free space for users and free blocks
    // differ there, unlike on tmpfs.
    LoopDisk disk{"disk", "24M", "mkfs.ext2 -q -m 50"};
    TestStore store{"disk/store"};
};

TEST_F(TooLargeTest, RefusedBeforeTheSlotIsWritten)
{
    // 8 MB of random content: more than the users' free space, less than
    // the free blocks.
    const std::pair<const char*, bool> cases[] = {
        {"", false}, {"--two-part", false}, {"--two-part", true}};
    for (const auto& [options, noOffsets] : cases) {
        SCOPED_TRACE(std::string(options) + (noOffsets ? " mount without offsets" : ""));
        makeImage(store.path("new.img"), std::string(options) + " --size 8192");
        shell("rm -f /tmp/shim/mount");
        if (noOffsets)
            refuseOffsets();
        std::string before = fingerprint({store.root()}, {});

        Outcome outcome = installImage(installRequest("new.img", "0"));

        EXPECT_EQ(outcome.title(), "Error");
        EXPECT_EQ(outcome.boxFlags(), 129);
        EXPECT_THAT(outcome.message.c_str(), MatchesRegex("no Space !!!\nMemory < 8[12][0-9][0-9] kB\n"));
        EXPECT_EQ(changedLines(before, fingerprint({store.root()}, {})), "");
        EXPECT_FALSE(isMountPoint("/tmp/image"));
    }
}

TEST(TreeSize, EachFileAndDirectoryInWholeBlocksOnce)
{
    shell("rm -rf /tmp/tree && mkdir -p /tmp/tree/dir && cd /tmp/tree && head -c 5000 /dev/zero >file"
        " && ln file dir/again && ln -s /tmp/outside short && ln -s $(printf %080d 0) long"
        " && head -c 100000 /dev/zero >/tmp/outside");
    // Two directories, a file of 5000 bytes once, the long link.
    EXPECT_EQ(treeKilobytes("/tmp/tree", 1024), 2 + 5 + 1);
    EXPECT_EQ(treeKilobytes("/tmp/tree", 4096), 4 * (2 + 2 + 1));
    EXPECT_EQ(treeKilobytes("/tmp/no-tree", 4096), 0);
}

} // namespace
