#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "install/procedure.h"
#include "plugin/globals.h"
#include "store/slots.h"
#include "tests/images.h"
#include "tests/support.h"

namespace {

// What a failed run must leave: its message, the image file as it was, no
// squashfs.img of its own, no boot menu entry.
void expectFailed(const Outcome& outcome, const char* message, const TestStore& store,
    const std::string& fileHash)
{
    EXPECT_EQ(outcome.kind, Outcome::Failed);
    EXPECT_EQ(outcome.title(), "ERROR");
    EXPECT_EQ(outcome.message, message);
    EXPECT_EQ(fingerprint({store.path("new.img")}, {}), fileHash);
    EXPECT_FALSE(pathExists(store.path("squashfs.img")));
    EXPECT_FALSE(pathExists(store.path("tools/menu")));
}

class FailureTest : public ::testing::Test {
protected:
    FailureTest() { useCramfsStandIn(); }

    // Makes new.img with OPTIONS and returns its fingerprint.
    std::string image(const std::string& options = "")
    {
        makeImage(store.path("new.img"), options);
        return fingerprint({store.path("new.img")}, {});
    }

    TestStore store;
};

TEST_F(FailureTest, FileThatIsNoCramfs)
{
    writeFile(store.path("new.img"), std::string(8192, 'x'));
    std::string hash = fingerprint({store.path("new.img")}, {});

    expectFailed(installImage(installRequest("new.img", "0")), "could not mount cramfs", store, hash);

    EXPECT_TRUE(pathExists("/tmp/image"));
    EXPECT_FALSE(isMountPoint("/tmp/image"));
    EXPECT_FALSE(pathExists(store.path("image/0")));
}

TEST_F(FailureTest, TwoPartImageWithGarbageSquashfs)
{
    makeImage(store.path("new.img"), "--two-part");
    shell("dd if=/dev/urandom of='" + store.path("new.img") +
        "' bs=512 seek=2304 count=64 conv=notrunc status=none");
    std::string hash = fingerprint({store.path("new.img")}, {});

    expectFailed(installImage(installRequest("new.img", "0")), "could not mount squashfs", store, hash);

    EXPECT_FALSE(isMountPoint("/tmp/image"));
    EXPECT_FALSE(pathExists(store.path("image/0")));
}

TEST_F(FailureTest, ImageNamedLikeTheCutIsKept)
{
    // A two-part one would be cut over itself; a single-part one installs.
    const std::pair<const char*, const char*> cases[] = {
        {"--two-part", "could not cut squashfs"},
        {"", "Image is installed"},
    };
    for (const auto& [options, message] : cases) {
        SCOPED_TRACE(options);
        makeImage(store.path("squashfs.img"), options);
        std::string hash = fingerprint({store.path("squashfs.img")}, {});

        Outcome outcome = installImage(installRequest("squashfs.img", "0"));

        EXPECT_EQ(outcome.message, message);
        EXPECT_EQ(fingerprint({store.path("squashfs.img")}, {}), hash);
        EXPECT_FALSE(isMountPoint("/tmp/image"));
        EXPECT_EQ(pathExists(store.path("image/0/bin/sh")), *options == '\0');
    }
}

TEST_F(FailureTest, GoThatCannotBeCopied)
{
    for (const char* options : {"", "--two-part"}) {
        SCOPED_TRACE(options);
        std::string hash = image(options);
        shell("rm -f '" + store.path("tools/go") + "'");
        std::string slot = *options ? "1" : "0";

        expectFailed(installImage(installRequest("new.img", slot)), "could not copy go", store, hash);

        EXPECT_EQ(probeSlot(std::stoi(slot)), SlotState::Corrupted);
    }
}

TEST(InstallFailure, CopyThatRunsOutOfInodes)
{
    useCramfsStandIn();
    shell("mkdir -p /tmp/small && mount -t tmpfs -o nr_inodes=10000 small /tmp/small");
    TestStore store("small/store");
    for (const char* options : {"", "--two-part"}) {
        SCOPED_TRACE(options);
        makeImage(store.path("new.img"), options);
        std::string hash = fingerprint({store.path("new.img")}, {});
        std::string slot = *options ? "1" : "0";
        // The space suffices, the inodes end after the slot directory.
        shell("mkdir -p '" + store.path("image") + "' && used=$(df --output=iused /tmp/small | tail -n 1)"
            " && mount -o remount,nr_inodes=$((used + 2)) /tmp/small");

        expectFailed(installImage(installRequest("new.img", slot)), "could not copy squashfs", store, hash);

        EXPECT_EQ(probeSlot(std::stoi(slot)), SlotState::Corrupted);
        EXPECT_FALSE(isMountPoint("/tmp/image"));
        shell("mount -o remount,nr_inodes=10000 /tmp/small");
    }
}

TEST(InstallFailure, ImageInfoThatCannotBeWritten)
{
    useCramfsStandIn();
    shell("mkdir -p /tmp/tight && mount -t tmpfs -o nr_inodes=10000 tight /tmp/tight");
    TestStore store("tight/store");
    makeTree("/tmp/tree");
    shell("rm -rf /tmp/tree/var_init && mkdir '" + store.path("image") + "'");
    makeImage(store.path("new.img"), "--from /tmp/tree");
    std::string hash = fingerprint({store.path("new.img")}, {});
    // Room for the copied tree and go, not one file more.
    shell("used=$(df --output=iused /tmp/tight | tail -n 1) entries=$(find /tmp/tree | wc -l) &&"
        " mount -o remount,nr_inodes=$((used + entries + 1)) /tmp/tight");

    expectFailed(installImage(installRequest("new.img", "0")), "could not write Image.info", store, hash);

    EXPECT_TRUE(pathExists(store.path("image/0/go")));
    EXPECT_EQ(probeSlot(0), SlotState::Corrupted);
}

// Puts a TOOL first in PATH that runs the real one and then, when its
// arguments contain TRIGGER, leaves a process working in /tmp/image behind,
// so that the mount there is busy.
void busyAfter(const std::string& tool, const std::string& trigger)
{
    std::string path = std::getenv("PATH");
    shell("rm -rf /tmp/shim /tmp/holder.pid");
    writeFile("/tmp/shim/" + tool,
        "#!/bin/sh\nPATH='" + path + "' " + tool + " \"$@\"\nstatus=$?\n"
        "case \"$*\" in *'" + trigger + "'*)\n"
        "    cd /tmp/image && { sleep 600 </dev/null >/dev/null 2>&1 & echo $! >>/tmp/holder.pid; } ;;\n"
        "esac\nexit $status\n",
        0755);
    prependPath("/tmp/shim");
}

void releaseBusyMount()
{
    shell("[ -f /tmp/holder.pid ] && kill -KILL $(cat /tmp/holder.pid); rm -rf /tmp/shim /tmp/holder.pid");
    for (int tries = 0; tries < 100 && shell("umount /tmp/image 2>/dev/null") != 0; ++tries)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

TEST_F(FailureTest, UnmountOfABusyMount)
{
    struct Case {
        const char* title;
        const char* options;
        const char* tool;
        const char* trigger;
        const char* message;
        bool copied;
    };
    const Case cases[] = {
        {"cramfs head", "--two-part", "mount", "-t cramfs", "could not unmount cramfs", false},
        {"single-part tree", "", "cp", "-Rd", "could not unmount squashfs", true},
        {"squashfs tree", "--two-part", "cp", "-Rd", "could not unmount squashfs", true},
    };
    int slot = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        std::string hash = image(c.options);
        std::string saved = std::getenv("PATH");
        busyAfter(c.tool, c.trigger);

        Outcome outcome = installImage(installRequest("new.img", std::to_string(slot)));

        setenv("PATH", saved.c_str(), 1);
        EXPECT_TRUE(isMountPoint("/tmp/image"));
        releaseBusyMount();
        expectFailed(outcome, c.message, store, hash);
        EXPECT_EQ(pathExists(store.path("image/" + std::to_string(slot) + "/bin/sh")), c.copied);
        EXPECT_FALSE(pathExists(store.path("image/" + std::to_string(slot) + "/Image.info")));
        ++slot;
    }
}

} // namespace
